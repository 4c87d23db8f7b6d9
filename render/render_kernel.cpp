// The row kernels of the head data rendering. The bodies below are written
// once as plain loops; the compiler vectorises them for each instruction set
// into which they are inlined: the portable baseline and, on x86-64, AVX2 and
// AVX-512 (selected at run time). None of them does floating-point work, so
// the fused multiply-add of the wider sets cannot change a result: the edge
// fade's double arithmetic stays in the portable scalar code.
#include "render/render_kernel.h"

#include <cstring>

#include "render/face_sums.h"
#include "render/mean_of_25.h"
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

// Sharpens one row: the 5 x 5 same-channel sum of each byte comes from five
// row sums per column, the gain from one face-window test per pixel.
VELTA_INLINE void SharpenBody(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h,
                              std::size_t w, int s, uint8_t* __restrict out, const SharpenScratch& scratch) {
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
    const uint64_t* sums = scratch.faceSums;
    int16_t* __restrict pixelWeights = scratch.pixelWeights;
    for (std::size_t p = 2; p + 2 < w; ++p) {
        const uint64_t sum = sums[row[3 * p]] + sums[256 + row[3 * p + 1]] + sums[512 + row[3 * p + 2]];
        pixelWeights[p] = IsFaceSum(sum) ? face : back;
    }
    for (std::size_t p = 2; p + 2 < w; ++p) {
        byteWeights[3 * p] = byteWeights[3 * p + 1] = byteWeights[3 * p + 2] = pixelWeights[p];
    }
    for (std::size_t e = 6; e < rowBytes - 6; ++e) {
        const int32_t sum = columnSums[e - 6] + columnSums[e - 3] + columnSums[e] + columnSums[e + 3] +
                            columnSums[e + 6];
        const int32_t c = row[e];
        const int32_t V = c * 1024 + (c - MeanOf25(sum)) * byteWeights[e];
        out[e] = static_cast<uint8_t>(V < 0 ? 0 : (V > 261120 ? 255 : V >> 10));
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

// The six chains of the smoothing, in plain scalar code: every step waits for
// the one before, so vector instructions would only add moves between the
// scalar and vector registers to the chain (hence no SLP vectorisation).
[[gnu::noinline, gnu::optimize("no-tree-slp-vectorize")]] void SmoothChains(
    int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory, std::size_t rowBytes, int32_t side,
    const int32_t* __restrict middleTerms, const int32_t* __restrict longTerms) {
    int32_t* L = LongHistory;
    int32_t* Mh = MiddleHistory;
    const std::size_t last = rowBytes - 4;
    int32_t l0 = L[1], l1 = L[2], l2 = L[3];
    int32_t m0 = Mh[1], m1 = Mh[2], m2 = Mh[3];
    std::size_t e = 4;
    for (; e + 2 <= last; e += 3) {
        l0 = (310 * l0 + longTerms[e]) >> 10;
        m0 = (side * m0 + middleTerms[e]) >> 10;
        l1 = (310 * l1 + longTerms[e + 1]) >> 10;
        m1 = (side * m1 + middleTerms[e + 1]) >> 10;
        l2 = (310 * l2 + longTerms[e + 2]) >> 10;
        m2 = (side * m2 + middleTerms[e + 2]) >> 10;
        L[e] = l0, L[e + 1] = l1, L[e + 2] = l2;
        Mh[e] = m0, Mh[e + 1] = m1, Mh[e + 2] = m2;
    }
    if (e <= last) {
        L[e] = (310 * l0 + longTerms[e]) >> 10;
        Mh[e] = (side * m0 + middleTerms[e]) >> 10;
    }
    if (e + 1 <= last) {
        L[e + 1] = (310 * l1 + longTerms[e + 1]) >> 10;
        Mh[e + 1] = (side * m1 + middleTerms[e + 1]) >> 10;
    }
}

// Heat spreads sideways in the head: entries 4 to 3w - 4 of each history are
// mixed with the same channel of the pixels beside them, left neighbour
// already smoothed, right neighbour not. The terms of the entry itself and its
// right neighbour do not depend on the smoothing, so they are summed first
// for the whole row, vectorised. What is left is a chain per channel in which
// every entry needs the one before: the three channels and the two histories
// run as six chains side by side, carried in registers, one product a step.
VELTA_INLINE void SmoothBody(int32_t* __restrict MiddleHistory, int32_t* __restrict LongHistory,
                             std::size_t rowBytes, int32_t MWideWeight, int32_t* __restrict middleTerms,
                             int32_t* __restrict longTerms) {
    if (rowBytes < 8) return;
    const int32_t side = MWideWeight;
    const int32_t centre = 1024 - 2 * MWideWeight;
    int32_t* L = LongHistory;
    int32_t* Mh = MiddleHistory;
    const std::size_t last = rowBytes - 4;
    for (std::size_t e = 4; e <= last; ++e) {
        longTerms[e] = 404 * L[e] + 310 * L[e + 3];
        middleTerms[e] = centre * Mh[e] + side * Mh[e + 3];
    }
    SmoothChains(MiddleHistory, LongHistory, rowBytes, side, middleTerms, longTerms);
}

// Stamps out the kernels of one instruction set: each is a call of the body,
// which is inlined and vectorised under the given target attribute.
#define VELTA_ROW_KERNELS(NAME, TARGET)                                                                         \
    namespace NAME {                                                                                          \
    TARGET void Generate(uint32_t* mt, int* mti, uint32_t* out, std::size_t count) {                            \
        GenerateBody(mt, mti, out, count, 0xFFFFFFFFu);                                                       \
    }                                                                                                         \
    TARGET void GenerateDither(uint32_t* mt, int* mti, uint16_t* out, std::size_t count) {                      \
        GenerateBody(mt, mti, out, count, 0x7FFu);                                                            \
    }                                                                                                         \
    TARGET void Sharpen(const uint8_t* page, std::size_t stride, std::size_t y, std::size_t h, std::size_t w,   \
                        int s, uint8_t* out, const SharpenScratch& scratch) {                                  \
        SharpenBody(page, stride, y, h, w, s, out, scratch);                                                  \
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
    TARGET void Smooth(int32_t* MiddleHistory, int32_t* LongHistory, std::size_t rowBytes,                     \
                       int32_t MWideWeight, int32_t* middleTerms, int32_t* longTerms) {                       \
        SmoothBody(MiddleHistory, LongHistory, rowBytes, MWideWeight, middleTerms, longTerms);                \
    }                                                                                                         \
    constexpr RowKernels KERNELS{Generate, GenerateDither, Sharpen, Tone, Smear, Split, Smooth};               \
    }

VELTA_ROW_KERNELS(portable, )
#if defined(__x86_64__)
VELTA_ROW_KERNELS(avx2, [[gnu::target("avx2,bmi2")]])
VELTA_ROW_KERNELS(avx512, [[gnu::target("avx512f,avx512bw,avx512vl,avx2,bmi2,prefer-vector-width=512")]])
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
