// The row kernels of the head data rendering. The bodies below are written
// once as plain loops; the compiler vectorises them for each instruction set
// into which they are inlined: the portable baseline and, on x86-64, AVX2 and
// AVX-512 (selected at run time). None of them does floating-point work, so
// the fused multiply-add of the wider sets cannot change a result: the edge
// fade's double arithmetic stays in the portable scalar code.
#include "render/render_kernel.h"

#include <cstring>

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
VELTA_INLINE void SharpenBody(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h,
                              std::size_t w, int s, uint8_t* __restrict out, const SharpenScratch& scratch) {
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
        const auto sum = static_cast<uint16_t>(columnSums[e - 6] + columnSums[e - 3] + columnSums[e] +
                                               columnSums[e + 3] + columnSums[e + 6]);
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
                            int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory,
                            uint8_t* __restrict out, std::size_t begin, std::size_t end, const SmearConstants& k) {
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

// Sums the parts of the smoothing that need no smoothed value: for entries
// begin..end-1, the history entry's own term and its right neighbour's.
VELTA_INLINE void TermsBody(const int32_t* __restrict MiddleHistory, const int32_t* __restrict LongHistory,
                            std::size_t begin, std::size_t end, int32_t MWideWeight,
                            int32_t* __restrict middleTerms, int32_t* __restrict longTerms) {
    const int32_t side = MWideWeight;
    const int32_t centre = 1024 - 2 * MWideWeight;
    for (std::size_t e = begin; e < end; ++e) {
        longTerms[e] = 404 * LongHistory[e] + 310 * LongHistory[e + 3];
        middleTerms[e] = centre * MiddleHistory[e] + side * MiddleHistory[e + 3];
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

// Eight lanes of a chain step: the long history of three neighbouring
// entries, the middle history of the same three, two lanes unused.
typedef int32_t ChainLanes __attribute__((vector_size(32)));

// Four neighbouring history entries, as one vector load or store moves them.
typedef int32_t FourEntries __attribute__((vector_size(16)));

// Puts the terms of three neighbouring entries in chain lanes (long terms in
// lanes 0 to 2, middle terms in lanes 3 to 5), reading four of each. (The
// vectors go by reference: by value their passing would depend on the
// instruction set.)
VELTA_INLINE void LoadTerms(ChainLanes& terms, const int32_t* longTerms, const int32_t* middleTerms) {
    FourEntries longFour, middleFour;
    std::memcpy(&longFour, longTerms, sizeof longFour);
    std::memcpy(&middleFour, middleTerms, sizeof middleFour);
    terms = __builtin_shufflevector(longFour, middleFour, 0, 1, 2, 4, 5, 6, 3, 7);
}

// Stores the smoothed values of three neighbouring entries; the fourth entry
// of each history receives a stray value.
VELTA_INLINE void StoreSmoothed(const ChainLanes& values, int32_t* longHistory, int32_t* middleHistory) {
    const FourEntries longFour = __builtin_shufflevector(values, values, 0, 1, 2, 3);
    const FourEntries middleFour = __builtin_shufflevector(values, values, 3, 4, 5, 6);
    std::memcpy(longHistory, &longFour, sizeof longFour);
    std::memcpy(middleHistory, &middleFour, sizeof middleFour);
}

// Runs one row's smoothing chain over entries begin..end-1 from its state:
// three entries (one pixel) a step, the six chains of the pixel in the lanes
// of one vector; the last one or two entries of a range one by one.
VELTA_INLINE void ChainSteps(int32_t* __restrict Mh, int32_t* __restrict L, int32_t side, SmoothingChain& chain,
                             std::size_t begin, std::size_t end) {
    const ChainLanes weights = {310, 310, 310, side, side, side, 0, 0};
    const int32_t* __restrict longTerms = chain.longTerms;
    const int32_t* __restrict middleTerms = chain.middleTerms;
    ChainLanes before = {chain.longBefore[0], chain.longBefore[1], chain.longBefore[2], chain.middleBefore[0],
                         chain.middleBefore[1], chain.middleBefore[2], 0, 0};
    std::size_t e = begin;
    for (; e + 3 <= end; e += 3) {
        const ChainLanes terms = {longTerms[e], longTerms[e + 1], longTerms[e + 2], middleTerms[e],
                                  middleTerms[e + 1], middleTerms[e + 2], 0, 0};
        before = (weights * before + terms) >> 10;
        L[e] = before[0], L[e + 1] = before[1], L[e + 2] = before[2];
        Mh[e] = before[3], Mh[e + 1] = before[4], Mh[e + 2] = before[5];
    }
    int32_t l[3] = {before[0], before[1], before[2]}, m[3] = {before[3], before[4], before[5]};
    for (; e < end; ++e) {
        const int32_t longValue = (310 * l[0] + longTerms[e]) >> 10;
        const int32_t middleValue = (side * m[0] + middleTerms[e]) >> 10;
        L[e] = longValue, Mh[e] = middleValue;
        l[0] = l[1], l[1] = l[2], l[2] = longValue;
        m[0] = m[1], m[1] = m[2], m[2] = middleValue;
    }
    for (int n = 0; n < 3; ++n) chain.longBefore[n] = l[n], chain.middleBefore[n] = m[n];
}

// Runs one row's smoothing chain over entries begin..end-1 in scalar code, for
// the baseline instruction set, whose vectors lack a 32-bit multiply: the six
// chains of a pixel side by side in registers, one multiply a step (hence no
// SLP vectorisation, which would only move values between register files).
#if defined(__clang__)
[[gnu::noinline]]
#else
[[gnu::noinline, gnu::optimize("no-tree-slp-vectorize")]]
#endif
void ScalarChainSteps(
    int32_t* __restrict Mh, int32_t* __restrict L, int32_t side, SmoothingChain& chain, std::size_t begin,
    std::size_t end) {
    const int32_t* __restrict longTerms = chain.longTerms;
    const int32_t* __restrict middleTerms = chain.middleTerms;
    int32_t l0 = chain.longBefore[0], l1 = chain.longBefore[1], l2 = chain.longBefore[2];
    int32_t m0 = chain.middleBefore[0], m1 = chain.middleBefore[1], m2 = chain.middleBefore[2];
    std::size_t e = begin;
    for (; e + 3 <= end; e += 3) {
        l0 = (310 * l0 + longTerms[e]) >> 10;
        m0 = (side * m0 + middleTerms[e]) >> 10;
        l1 = (310 * l1 + longTerms[e + 1]) >> 10;
        m1 = (side * m1 + middleTerms[e + 1]) >> 10;
        l2 = (310 * l2 + longTerms[e + 2]) >> 10;
        m2 = (side * m2 + middleTerms[e + 2]) >> 10;
        L[e] = l0, L[e + 1] = l1, L[e + 2] = l2;
        Mh[e] = m0, Mh[e + 1] = m1, Mh[e + 2] = m2;
    }
    for (; e < end; ++e) {
        const int32_t longValue = (310 * l0 + longTerms[e]) >> 10;
        const int32_t middleValue = (side * m0 + middleTerms[e]) >> 10;
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
// one fill with the work of the other; the longer range finishes alone.
VELTA_INLINE void ChainsBody(int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory,
                             int32_t MWideWeight, SmoothingChain& first, std::size_t firstBegin,
                             std::size_t firstEnd, SmoothingChain* second, std::size_t secondBegin,
                             std::size_t secondEnd) {
    if (firstBegin < firstEnd) StartChain(MiddleHistory, LongHistory, first, firstBegin);
    if (second == nullptr || secondBegin >= secondEnd) {
        if (firstBegin < firstEnd) ChainSteps(MiddleHistory, LongHistory, MWideWeight, first, firstBegin, firstEnd);
        return;
    }
    StartChain(MiddleHistory, LongHistory, *second, secondBegin);
    int32_t* L = LongHistory;
    int32_t* Mh = MiddleHistory;
    const int32_t side = MWideWeight;
    const ChainLanes weights = {310, 310, 310, side, side, side, 0, 0};
    const int32_t* __restrict aLong = first.longTerms;
    const int32_t* __restrict aMiddle = first.middleTerms;
    const int32_t* __restrict bLong = second->longTerms;
    const int32_t* __restrict bMiddle = second->middleTerms;
    ChainLanes a = {first.longBefore[0], first.longBefore[1], first.longBefore[2], first.middleBefore[0],
                    first.middleBefore[1], first.middleBefore[2], 0, 0};
    ChainLanes b = {second->longBefore[0], second->longBefore[1], second->longBefore[2], second->middleBefore[0],
                    second->middleBefore[1], second->middleBefore[2], 0, 0};
    std::size_t ea = firstBegin, eb = secondBegin;
    // Each step loads and stores four entries where it needs three: the
    // fourth store of each history is a stray value that the next step
    // overwrites with the right one, so the loop stops a pixel before the end
    // of either range and the last entries go one pixel at a time.
    for (; ea + 6 <= firstEnd && eb + 6 <= secondEnd; ea += 3, eb += 3) {
        ChainLanes aTerms, bTerms;
        LoadTerms(aTerms, aLong + ea, aMiddle + ea);
        LoadTerms(bTerms, bLong + eb, bMiddle + eb);
        a = (weights * a + aTerms) >> 10;
        b = (weights * b + bTerms) >> 10;
        StoreSmoothed(a, L + ea, Mh + ea);
        StoreSmoothed(b, L + eb, Mh + eb);
    }
    for (int n = 0; n < 3; ++n) {
        first.longBefore[n] = a[n], first.middleBefore[n] = a[3 + n];
        second->longBefore[n] = b[n], second->middleBefore[n] = b[3 + n];
    }
    if (ea < firstEnd) ChainSteps(MiddleHistory, LongHistory, MWideWeight, first, ea, firstEnd);
    if (eb < secondEnd) ChainSteps(MiddleHistory, LongHistory, MWideWeight, *second, eb, secondEnd);
}

// Stamps out the kernels of one instruction set: each is a call of the body,
// which is inlined and vectorised under the given target attribute; CHAINS
// names the body of the smoothing chains, FACE the face-window test.
#define VELTA_ROW_KERNELS(NAME, TARGET, CHAINS, FACE)                                                                 \
    namespace NAME {                                                                                          \
    TARGET void Generate(uint32_t* mt, int* mti, uint32_t* out, std::size_t count) {                            \
        GenerateBody(mt, mti, out, count, 0xFFFFFFFFu);                                                       \
    }                                                                                                         \
    TARGET void GenerateDither(uint32_t* mt, int* mti, uint16_t* out, std::size_t count) {                      \
        GenerateBody(mt, mti, out, count, 0x7FFu);                                                            \
    }                                                                                                         \
    TARGET void Sharpen(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h, std::size_t w,   \
                        int s, uint8_t* out, const SharpenScratch& scratch) {                                  \
        SharpenBody<FACE>(page, stride, y, h, w, s, out, scratch);                                            \
    }                                                                                                         \
    TARGET void Tone(const uint8_t* row, std::size_t w, const uint16_t* toneTable, uint16_t* out) {            \
        ToneBody(row, w, toneTable, out);                                                                     \
    }                                                                                                         \
    TARGET void Smear(const uint16_t* tone, const uint16_t* dither, int32_t* MiddleHistory,                    \
                      int32_t* LongHistory, uint8_t* out, std::size_t begin, std::size_t end,                  \
                      const SmearConstants& k) {                                                              \
        SmearBody(tone, dither, MiddleHistory, LongHistory, out, begin, end, k);                              \
    }                                                                                                         \
    TARGET void Split(const uint8_t* row, std::size_t w, uint8_t* channel0, uint8_t* channel1,                 \
                      uint8_t* channel2) {                                                                    \
        SplitBody(row, w, channel0, channel1, channel2);                                                      \
    }                                                                                                         \
    TARGET void Terms(const int32_t* MiddleHistory, const int32_t* LongHistory, std::size_t begin,             \
                      std::size_t end, int32_t MWideWeight, int32_t* middleTerms, int32_t* longTerms) {        \
        TermsBody(MiddleHistory, LongHistory, begin, end, MWideWeight, middleTerms, longTerms);               \
    }                                                                                                         \
    TARGET void Chains(int32_t* MiddleHistory, int32_t* LongHistory, int32_t MWideWeight,                      \
                       SmoothingChain& first, std::size_t firstBegin, std::size_t firstEnd,                    \
                       SmoothingChain* second, std::size_t secondBegin, std::size_t secondEnd) {               \
        CHAINS(MiddleHistory, LongHistory, MWideWeight, first, firstBegin, firstEnd, second, secondBegin,      \
               secondEnd);                                                                                    \
    }                                                                                                         \
    constexpr RowKernels KERNELS{Generate, GenerateDither, Sharpen, Tone, Smear, Split, Terms, Chains};               \
    }

VELTA_ROW_KERNELS(portable, , ScalarChainsBody, PackedFaceTest)
#if defined(__x86_64__)
VELTA_ROW_KERNELS(avx2, [[gnu::target("avx2,bmi2")]], ChainsBody, MultipliedFaceTest)
// GCC is told to use the whole 512-bit registers; clang (the fuzz build) has no
// such target option and picks its own vector width.
#if defined(__clang__)
VELTA_ROW_KERNELS(avx512, [[gnu::target("avx512f,avx512bw,avx512vl,avx2,bmi2")]], ChainsBody, MultipliedFaceTest)
#else
VELTA_ROW_KERNELS(avx512, [[gnu::target("avx512f,avx512bw,avx512vl,avx2,bmi2,prefer-vector-width=512")]], ChainsBody, MultipliedFaceTest)
#endif
#endif

}  // namespace

const uint64_t* PackedFaceSums() {
    static const auto table = [] {
        struct Words {
            uint64_t word[768];
        } words{};
        for (std::size_t n = 0; n < 768; ++n) {
            words.word[n] = static_cast<uint64_t>(Y_TableInt[n]) |
                            static_cast<uint64_t>(Cb_TableInt[n] + (1 << 17)) << 21 |
                            static_cast<uint64_t>(Cr_TableInt[n] + (1 << 17)) << 42;
        }
        return words;
    }();
    return table.word;
}

const RowKernels& KernelsFor(RenderIsa isa) {
#if defined(__x86_64__)
    if (isa == RenderIsa::Avx512) return avx512::KERNELS;
    if (isa == RenderIsa::Avx2) return avx2::KERNELS;
#endif
    (void)isa;
    return portable::KERNELS;
}

const RowKernels& ActiveKernels() { return KernelsFor(CurrentRenderVariant().isa); }

}  // namespace velta
