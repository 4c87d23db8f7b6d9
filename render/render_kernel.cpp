// The row kernels of the head data rendering. The bodies below are written
// once as plain loops; the compiler vectorises them for each instruction set
// into which they are inlined: the portable baseline and, on x86-64, AVX2 and
// AVX-512 (selected at run time). None of them does floating-point work, so
// the fused multiply-add of the wider sets cannot change a result: the edge
// fade's double arithmetic stays in the portable scalar code.
#include "render/render_kernel.h"

#include <cstring>

#include "cpu/isa_target.h"
#include "render/face_colour.h"
#include "render/face_sums.h"
#include "render/sharpen_arithmetic.h"
#include "render/sharpness.h"

namespace velta {
namespace {

#define VELTA_INLINE [[gnu::always_inline]] inline

constexpr std::size_t N = 624;
constexpr std::size_t M = 397;
constexpr uint32_t MATRIX_A = 0x9908B0DFu;
constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7FFFFFFFu;

// One twist of the generator: the new word k from the old word k, the next
// word and the word 397 ahead. -(y & 1) & MATRIX_A is mag01[y & 1].
VELTA_INLINE uint32_t Twist(uint32_t word, uint32_t next, uint32_t ahead) {
  const uint32_t y = (word & UPPER_MASK) | (next & LOWER_MASK);
  return ahead ^ (y >> 1) ^ (-(y & 1u) & MATRIX_A);
}

// Rebuilds the 624 state words in the reference order. The first 227 words
// read only old words; the next 396 read new words 227 places back, far
// enough apart for any vector width; the last word wraps to the new word 0.
VELTA_INLINE void RegenerateBody(uint32_t* __restrict mt) {
  for (std::size_t k = 0; k < N - M; ++k) mt[k] = Twist(mt[k], mt[k + 1], mt[k + M]);
  for (std::size_t k = N - M; k < N - 1; ++k) mt[k] = Twist(mt[k], mt[k + 1], mt[k + M - N]);
  mt[N - 1] = Twist(mt[N - 1], mt[0], mt[M - 1]);
}

// Tempers one state word into an output number.
VELTA_INLINE uint32_t Temper(uint32_t y) {
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= (y >> 18);
  return y;
}

// Writes count numbers of the seeded generator (mt, *mti), each ANDed with mask.
template <typename Out>
VELTA_INLINE void GenerateBody(uint32_t* __restrict mt, int* mti, Out* __restrict out, std::size_t count,
                               uint32_t mask) {
  while (count > 0) {
    if (*mti >= static_cast<int>(N)) {
      RegenerateBody(mt);
      *mti = 0;
    }
    const std::size_t available = N - static_cast<std::size_t>(*mti);
    const std::size_t n = count < available ? count : available;
    const uint32_t* words = mt + *mti;
    for (std::size_t q = 0; q < n; ++q) out[q] = static_cast<Out>(Temper(words[q]) & mask);
    out += n;
    count -= n;
    *mti += static_cast<int>(n);
  }
}

// The face-window test of a pixel by multiplications and shifts, for vectors
// with a 32-bit multiply.
struct MultipliedFaceTest {
  VELTA_INLINE bool operator()(int32_t r, int32_t g, int32_t b) const { return IsFaceColour(r, g, b); }
};

// The same by three reads of packed table sums, for the baseline instruction
// set, whose vectors lack a 32-bit multiply.
struct PackedFaceTest {
  const uint64_t* sums = PackedFaceSums();
  VELTA_INLINE bool operator()(int32_t r, int32_t g, int32_t b) const {
    return IsFaceSum(sums[r] + sums[256 + g] + sums[512 + b]);
  }
};

// Sharpens one row: the 5 x 5 same-channel sum of each byte comes from five
// row sums per column, the gain from one face-window test per pixel.
template <typename FaceTest>
VELTA_INLINE void SharpenBody(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h, std::size_t w,
                              int s, uint8_t* __restrict out, const SharpenScratch& scratch) {
  const FaceTest isFace;
  const std::size_t rowBytes = 3 * w;
  const uint8_t* row = page + y * stride;
  // The first and last three rows and the first and last two pixels of a
  // row print as they are.
  if (y < 3 || y + 3 >= h || rowBytes <= 12) {
    std::memcpy(out, row, rowBytes);
    return;
  }
  uint16_t* __restrict columnSums = scratch.columnSums;
  int16_t* __restrict byteWeights = scratch.byteWeights;
  const uint8_t* r0 = row - 2 * stride;
  const uint8_t* r1 = row - stride;
  const uint8_t* r3 = row + stride;
  const uint8_t* r4 = row + 2 * stride;
  for (std::size_t e = 0; e < rowBytes; ++e) {
    columnSums[e] = static_cast<uint16_t>(r0[e] + r1[e] + row[e] + r3[e] + r4[e]);
  }
  const int16_t face = static_cast<int16_t>(WeightFace6k[static_cast<std::size_t>(s)]);
  const int16_t back = static_cast<int16_t>(WeightBack6k[static_cast<std::size_t>(s)]);
  int16_t* __restrict pixelWeights = scratch.pixelWeights;
  for (std::size_t p = 2; p + 2 < w; ++p) {
    pixelWeights[p] = isFace(row[3 * p], row[3 * p + 1], row[3 * p + 2]) ? face : back;
  }
  for (std::size_t p = 2; p + 2 < w; ++p) {
    byteWeights[3 * p] = byteWeights[3 * p + 1] = byteWeights[3 * p + 2] = pixelWeights[p];
  }
  for (std::size_t e = 6; e < rowBytes - 6; ++e) {
    const auto sum = static_cast<uint16_t>(columnSums[e - 6] + columnSums[e - 3] + columnSums[e] + columnSums[e + 3] +
                                           columnSums[e + 6]);
    out[e] = SharpenedByte(row[e], static_cast<int16_t>(MeanOf25(sum)), byteWeights[e]);
  }
  std::memcpy(out, row, 6);
  std::memcpy(out + rowBytes - 6, row + rowBytes - 6, 6);
}

// Looks up the packed tone of every byte of a row, by channel.
VELTA_INLINE void ToneBody(const uint8_t* __restrict row, std::size_t w, const uint16_t* __restrict toneTable,
                           uint16_t* __restrict out) {
  for (std::size_t p = 0; p < w; ++p) {
    out[3 * p] = toneTable[row[3 * p]];
    out[3 * p + 1] = toneTable[256 + row[3 * p + 1]];
    out[3 * p + 2] = toneTable[512 + row[3 * p + 2]];
  }
}

// Smears a run of bytes, each independent of the others in its row.
VELTA_INLINE void SmearBody(const uint16_t* __restrict tone, const uint16_t* __restrict dither,
                            int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory, uint8_t* __restrict out,
                            std::size_t begin, std::size_t end, const SmearConstants& k) {
  const SmearConstants constants = k;
  for (std::size_t i = begin; i < end; ++i) {
    const ByteStep step = SmearByte(tone[i], dither[i], MiddleHistory[i], LongHistory[i], constants);
    MiddleHistory[i] = step.MiddleHistory;
    LongHistory[i] = step.LongHistory;
    out[i] = static_cast<uint8_t>(step.Temp < 0 ? 0 : (step.Temp > 255 ? 255 : step.Temp));
  }
}

// Splits interleaved RGB bytes into three channel rows.
VELTA_INLINE void SplitBody(const uint8_t* __restrict row, std::size_t w, uint8_t* __restrict channel0,
                            uint8_t* __restrict channel1, uint8_t* __restrict channel2) {
  for (std::size_t p = 0; p < w; ++p) {
    channel0[p] = row[3 * p];
    channel1[p] = row[3 * p + 1];
    channel2[p] = row[3 * p + 2];
  }
}

// Starts a chain from the three entries before its first one.
VELTA_INLINE void StartChain(const int32_t* MiddleHistory, const int32_t* LongHistory, SmoothingChain& chain,
                             std::size_t begin) {
  if (chain.started || begin == 0) return;
  for (std::size_t n = 0; n < 3; ++n) {
    chain.longBefore[n] = LongHistory[begin - 3 + n];
    chain.middleBefore[n] = MiddleHistory[begin - 3 + n];
  }
  chain.started = true;
}

// The smoothing of one entry: (weight x the entry three before, already
// smoothed, + centre x the entry's own value + side x its right neighbour's
// (three entries on), both as smeared) >> 10. The long history's weights are
// 310, 404 and 310; the middle history's side weight is MWideWeight and its
// centre weight 1024 - 2 MWideWeight.
VELTA_INLINE int32_t Smoothed(int32_t weight, int32_t before, int32_t centre, int32_t own, int32_t side,
                              int32_t right) {
  return (weight * before + (centre * own + side * right)) >> 10;
}

// Eight lanes of a chain step: the long history of three neighbouring
// entries, the middle history of the same three, two lanes unused.
typedef int32_t ChainLanes __attribute__((vector_size(32)));

// Four neighbouring history entries, as one vector load or store moves them.
typedef int32_t FourEntries __attribute__((vector_size(16)));

// Puts three neighbouring entries of each history in chain lanes (long in
// lanes 0 to 2, middle in lanes 3 to 5), reading four of each. (The vectors
// go by reference: by value their passing would depend on the instruction
// set.)
VELTA_INLINE void LoadEntries(ChainLanes& lanes, const int32_t* longHistory, const int32_t* middleHistory) {
  FourEntries longFour, middleFour;
  std::memcpy(&longFour, longHistory, sizeof longFour);
  std::memcpy(&middleFour, middleHistory, sizeof middleFour);
  lanes = __builtin_shufflevector(longFour, middleFour, 0, 1, 2, 4, 5, 6, 3, 7);
}

// Stores the smoothed values of three neighbouring entries; the fourth entry
// of each history receives a stray value.
VELTA_INLINE void StoreSmoothed(const ChainLanes& values, int32_t* longHistory, int32_t* middleHistory) {
  const FourEntries longFour = __builtin_shufflevector(values, values, 0, 1, 2, 3);
  const FourEntries middleFour = __builtin_shufflevector(values, values, 3, 4, 5, 6);
  std::memcpy(longHistory, &longFour, sizeof longFour);
  std::memcpy(middleHistory, &middleFour, sizeof middleFour);
}

// A chain on its way along a row, three entries (one pixel) a step, the six
// chains of the pixel in the lanes of one vector. Each step stores four
// entries of each history where it smooths three; the fourth is a stray value
// until the next step. So the smeared values a step reads are loaded two steps
// ahead, before any store reaches them: `now` holds entries e..e+2, `ahead`
// e+3..e+5, both as smeared.
struct ChainCursor {
  ChainLanes before;  // the smoothed entries e-3..e-1
  ChainLanes now, ahead;
  std::size_t e;
};

// Opens a cursor at entry begin: every entry from begin on holds its smeared
// value, and the chain is started.
VELTA_INLINE void OpenCursor(const SmoothingChain& chain, std::size_t begin, ChainCursor& cursor) {
  cursor.before = ChainLanes{chain.longBefore[0],
                             chain.longBefore[1],
                             chain.longBefore[2],
                             chain.middleBefore[0],
                             chain.middleBefore[1],
                             chain.middleBefore[2],
                             0,
                             0};
  cursor.e = begin;
}

// Tells whether a cursor can take a vector step towards end: the step loads
// entries up to e + 9, which must be smeared (smoothing an entry below end
// reads up to end + 2).
VELTA_INLINE bool CanStep(const ChainCursor& cursor, std::size_t end) { return cursor.e + 7 <= end; }

// Loads the first two steps' smeared entries; before the first vector step.
VELTA_INLINE void PrimeCursor(const int32_t* L, const int32_t* Mh, ChainCursor& cursor) {
  LoadEntries(cursor.now, L + cursor.e, Mh + cursor.e);
  LoadEntries(cursor.ahead, L + cursor.e + 3, Mh + cursor.e + 3);
}

// One vector step of a primed cursor.
VELTA_INLINE void StepCursor(int32_t* L, int32_t* Mh, const ChainLanes& weights, const ChainLanes& centres,
                             const ChainLanes& sides, ChainCursor& cursor) {
  ChainLanes next;
  LoadEntries(next, L + cursor.e + 6, Mh + cursor.e + 6);
  const ChainLanes terms = centres * cursor.now + sides * cursor.ahead;
  cursor.before = (weights * cursor.before + terms) >> 10;
  StoreSmoothed(cursor.before, L + cursor.e, Mh + cursor.e);
  cursor.now = cursor.ahead;
  cursor.ahead = next;
  cursor.e += 3;
}

// Smooths the last entries up to end one by one and leaves the chain's state.
// After vector steps (primed), entry e holds a stray value: the smeared values
// of e..e+5 come from the cursor, the ones after from memory.
VELTA_INLINE void CloseCursor(int32_t* L, int32_t* Mh, int32_t side, bool primed, ChainCursor& cursor, std::size_t end,
                              SmoothingChain& chain) {
  const int32_t centre = 1024 - 2 * side;
  int32_t longOwn[6], middleOwn[6];
  for (int n = 0; n < 3; ++n) {
    longOwn[n] = primed ? cursor.now[n] : 0, longOwn[3 + n] = primed ? cursor.ahead[n] : 0;
    middleOwn[n] = primed ? cursor.now[3 + n] : 0, middleOwn[3 + n] = primed ? cursor.ahead[3 + n] : 0;
  }
  const std::size_t first = cursor.e;
  const auto longAt = [&](std::size_t x) { return primed && x - first < 6 ? longOwn[x - first] : L[x]; };
  const auto middleAt = [&](std::size_t x) { return primed && x - first < 6 ? middleOwn[x - first] : Mh[x]; };
  int32_t l[3] = {cursor.before[0], cursor.before[1], cursor.before[2]};
  int32_t m[3] = {cursor.before[3], cursor.before[4], cursor.before[5]};
  for (std::size_t x = first; x < end; ++x) {
    const int32_t longValue = Smoothed(310, l[0], 404, longAt(x), 310, longAt(x + 3));
    const int32_t middleValue = Smoothed(side, m[0], centre, middleAt(x), side, middleAt(x + 3));
    L[x] = longValue, Mh[x] = middleValue;
    l[0] = l[1], l[1] = l[2], l[2] = longValue;
    m[0] = m[1], m[1] = m[2], m[2] = middleValue;
  }
  for (int n = 0; n < 3; ++n) chain.longBefore[n] = l[n], chain.middleBefore[n] = m[n];
}

// Runs one row's smoothing chain over entries begin..end-1 in scalar code, for
// the baseline instruction set, whose vectors lack a 32-bit multiply: the six
// chains of a pixel side by side in registers, one multiply a step (hence no
// SLP vectorisation, which would only move values between register files).
// Each entry is read before it is written and its right neighbour after, so
// both are still the smeared values.
#if defined(__clang__)
[[gnu::noinline]]
#else
[[gnu::noinline, gnu::optimize("no-tree-slp-vectorize")]]
#endif
void ScalarChainSteps(
    int32_t* __restrict Mh, int32_t* __restrict L, int32_t side, SmoothingChain& chain, std::size_t begin,
    std::size_t end) {
  const int32_t centre = 1024 - 2 * side;
  int32_t l0 = chain.longBefore[0], l1 = chain.longBefore[1], l2 = chain.longBefore[2];
  int32_t m0 = chain.middleBefore[0], m1 = chain.middleBefore[1], m2 = chain.middleBefore[2];
  std::size_t e = begin;
  for (; e + 3 <= end; e += 3) {
    l0 = Smoothed(310, l0, 404, L[e], 310, L[e + 3]);
    m0 = Smoothed(side, m0, centre, Mh[e], side, Mh[e + 3]);
    l1 = Smoothed(310, l1, 404, L[e + 1], 310, L[e + 4]);
    m1 = Smoothed(side, m1, centre, Mh[e + 1], side, Mh[e + 4]);
    l2 = Smoothed(310, l2, 404, L[e + 2], 310, L[e + 5]);
    m2 = Smoothed(side, m2, centre, Mh[e + 2], side, Mh[e + 5]);
    L[e] = l0, L[e + 1] = l1, L[e + 2] = l2;
    Mh[e] = m0, Mh[e + 1] = m1, Mh[e + 2] = m2;
  }
  for (; e < end; ++e) {
    const int32_t longValue = Smoothed(310, l0, 404, L[e], 310, L[e + 3]);
    const int32_t middleValue = Smoothed(side, m0, centre, Mh[e], side, Mh[e + 3]);
    L[e] = longValue, Mh[e] = middleValue;
    l0 = l1, l1 = l2, l2 = longValue;
    m0 = m1, m1 = m2, m2 = middleValue;
  }
  chain.longBefore[0] = l0, chain.longBefore[1] = l1, chain.longBefore[2] = l2;
  chain.middleBefore[0] = m0, chain.middleBefore[1] = m1, chain.middleBefore[2] = m2;
}

// Smooths entries of one row and, when second is given, of the next, one
// chain after the other in scalar code.
VELTA_INLINE void ScalarChainsBody(int32_t* MiddleHistory, int32_t* LongHistory, int32_t MWideWeight,
                                   SmoothingChain& first, std::size_t firstBegin, std::size_t firstEnd,
                                   SmoothingChain* second, std::size_t secondBegin, std::size_t secondEnd) {
  if (firstBegin < firstEnd) {
    StartChain(MiddleHistory, LongHistory, first, firstBegin);
    ScalarChainSteps(MiddleHistory, LongHistory, MWideWeight, first, firstBegin, firstEnd);
  }
  if (second != nullptr && secondBegin < secondEnd) {
    StartChain(MiddleHistory, LongHistory, *second, secondBegin);
    ScalarChainSteps(MiddleHistory, LongHistory, MWideWeight, *second, secondBegin, secondEnd);
  }
}

// Smooths entries of one row and, when second is given, of the next. The two
// chains step side by side, a pixel of each per round, so that the waits of
// one fill with the work of the other (and with the terms of both, which need
// no smoothed value); the longer range finishes alone.
VELTA_INLINE void ChainsBody(int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory, int32_t MWideWeight,
                             SmoothingChain& first, std::size_t firstBegin, std::size_t firstEnd,
                             SmoothingChain* second, std::size_t secondBegin, std::size_t secondEnd) {
  int32_t* L = LongHistory;
  int32_t* Mh = MiddleHistory;
  const int32_t side = MWideWeight, centre = 1024 - 2 * MWideWeight;
  const ChainLanes weights = {310, 310, 310, side, side, side, 0, 0};
  const ChainLanes centres = {404, 404, 404, centre, centre, centre, 0, 0};
  const ChainLanes sides = {310, 310, 310, side, side, side, 0, 0};
  const bool both = second != nullptr && secondBegin < secondEnd;
  ChainCursor a{}, b{};
  if (firstBegin < firstEnd) {
    StartChain(Mh, L, first, firstBegin);
    OpenCursor(first, firstBegin, a);
  }
  if (both) {
    StartChain(Mh, L, *second, secondBegin);
    OpenCursor(*second, secondBegin, b);
  }
  const bool aSteps = firstBegin < firstEnd && CanStep(a, firstEnd);
  const bool bSteps = both && CanStep(b, secondEnd);
  if (aSteps) PrimeCursor(L, Mh, a);
  if (bSteps) PrimeCursor(L, Mh, b);
  if (aSteps && bSteps) {
    while (CanStep(a, firstEnd) && CanStep(b, secondEnd)) {
      StepCursor(L, Mh, weights, centres, sides, a);
      StepCursor(L, Mh, weights, centres, sides, b);
    }
  }
  if (aSteps) {
    while (CanStep(a, firstEnd)) StepCursor(L, Mh, weights, centres, sides, a);
  }
  if (bSteps) {
    while (CanStep(b, secondEnd)) StepCursor(L, Mh, weights, centres, sides, b);
  }
  if (firstBegin < firstEnd) CloseCursor(L, Mh, side, aSteps, a, firstEnd, first);
  if (both) CloseCursor(L, Mh, side, bSteps, b, secondEnd, *second);
}

// Stamps out the kernels of one instruction set: each is a call of the body,
// which is inlined and vectorised under the given target attribute; CHAINS
// names the body of the smoothing chains, FACE the face-window test.
#define VELTA_ROW_KERNELS(NAME, ISA, TARGET, CHAINS, FACE)                                                          \
  namespace NAME {                                                                                                  \
  TARGET void Generate(uint32_t* mt, int* mti, uint32_t* out, std::size_t count) {                                  \
    GenerateBody(mt, mti, out, count, 0xFFFFFFFFu);                                                                 \
  }                                                                                                                 \
  TARGET void GenerateDither(uint32_t* mt, int* mti, uint16_t* out, std::size_t count) {                            \
    GenerateBody(mt, mti, out, count, 0x7FFu);                                                                      \
  }                                                                                                                 \
  TARGET void Sharpen(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h, std::size_t w, int s,  \
                      uint8_t* out, const SharpenScratch& scratch) {                                                \
    SharpenBody<FACE>(page, stride, y, h, w, s, out, scratch);                                                      \
  }                                                                                                                 \
  TARGET void Tone(const uint8_t* row, std::size_t w, const uint16_t* toneTable, uint16_t* out) {                   \
    ToneBody(row, w, toneTable, out);                                                                               \
  }                                                                                                                 \
  TARGET void Smear(const uint16_t* tone, const uint16_t* dither, int32_t* MiddleHistory, int32_t* LongHistory,     \
                    uint8_t* out, std::size_t begin, std::size_t end, const SmearConstants& k) {                    \
    SmearBody(tone, dither, MiddleHistory, LongHistory, out, begin, end, k);                                        \
  }                                                                                                                 \
  TARGET void Split(const uint8_t* row, std::size_t w, uint8_t* channel0, uint8_t* channel1, uint8_t* channel2) {   \
    SplitBody(row, w, channel0, channel1, channel2);                                                                \
  }                                                                                                                 \
  TARGET void Chains(int32_t* MiddleHistory, int32_t* LongHistory, int32_t MWideWeight, SmoothingChain& first,      \
                     std::size_t firstBegin, std::size_t firstEnd, SmoothingChain* second, std::size_t secondBegin, \
                     std::size_t secondEnd) {                                                                       \
    CHAINS(MiddleHistory, LongHistory, MWideWeight, first, firstBegin, firstEnd, second, secondBegin, secondEnd);   \
  }                                                                                                                 \
  constexpr RowKernels KERNELS{ISA, Generate, GenerateDither, Sharpen, Tone, Smear, Split, Chains};                 \
  }

VELTA_ROW_KERNELS(portable, Isa::Portable, , ScalarChainsBody, PackedFaceTest)
#if VELTA_ISA_TARGETS
VELTA_ROW_KERNELS(avx2, Isa::Avx2, VELTA_AVX2_TARGET, ChainsBody, MultipliedFaceTest)
VELTA_ROW_KERNELS(avx512, Isa::Avx512, VELTA_AVX512_TARGET, ChainsBody, MultipliedFaceTest)
#endif

}  // namespace

const uint64_t* PackedFaceSums() {
  static const auto table = [] {
    struct Words {
      uint64_t word[768];
    } words{};
    for (std::size_t n = 0; n < 768; ++n) {
      words.word[n] = static_cast<uint64_t>(Y_TableInt[n]) | static_cast<uint64_t>(Cb_TableInt[n] + (1 << 17)) << 21 |
                      static_cast<uint64_t>(Cr_TableInt[n] + (1 << 17)) << 42;
    }
    return words;
  }();
  return table.word;
}

const RowKernels& KernelsFor(Isa isa) {
#if VELTA_ISA_TARGETS
  return KernelsOf(isa, portable::KERNELS, &avx2::KERNELS, &avx512::KERNELS);
#else
  return KernelsOf<RowKernels>(isa, portable::KERNELS, nullptr, nullptr);
#endif
}

const RowKernels& ActiveKernels() { return KernelsFor(CurrentVariant().isa); }

}  // namespace velta
