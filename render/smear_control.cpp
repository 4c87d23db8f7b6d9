#include "render/smear_control.h"

#include <cstddef>
#include <memory>
#include <new>

#include "render/edge_fade.h"
#include "render/random_source.h"
#include "render/sharpness.h"
#include "render/tone_tables.h"

namespace velta {
namespace {

// Every page reseeds the dither with this key, so equal pages print equally.
constexpr uint32_t PAGE_SEED[4] = {0x123, 0x234, 0x345, 0x456};

// How the heat histories of a print mode behave, in units of 1/1024.
struct SmearConstants {
    int32_t MiddleWeight;    // push of a new energy away from the middle history
    int32_t LongWeight;      // push of the middle result away from the long history
    int32_t LongLength;      // share of the long history kept from row to row
    int32_t MiddleLength_H;  // share of the middle history kept (base, dense side)
    int32_t MiddleLength_L;  // share of the middle history kept when it overshoots below 0
    int32_t MWideWeight;     // side weight of the middle history's smoothing across the row
};

constexpr SmearConstants HIGH_QUALITY_CONSTANTS{930, 135, 1019, 750, 830, 200};
constexpr SmearConstants NORMAL_CONSTANTS{970, 150, 1020, 835, 900, 100};

// Returns history H blended toward S, keeping a/1024 of H; the two products
// are shifted separately, rounding each toward minus infinity.
//
// Both histories stay within about -1 to 2.5 times 261120: each blend is a
// convex mix of the old history and a value pushed at most 0.95 x away from
// it, so no product below exceeds 2^30 and 32-bit arithmetic cannot overflow.
inline int32_t Blend(int32_t H, int32_t S, int32_t a) { return ((a * H) >> 10) + S - ((a * S) >> 10); }

// Spreads heat across the row: each history entry (except the first four and
// the last three) is mixed with the same channel of the pixels beside it, one
// pixel behind, so an entry's left neighbour is already smoothed and its right
// neighbour is not.
void SmoothAcrossRow(int32_t* LongHistory, int32_t* MiddleHistory, std::size_t rowBytes, int32_t MWideWeight) {
    for (std::size_t i = 7; i < rowBytes; ++i) {
        LongHistory[i - 3] = (310 * LongHistory[i - 6] + 404 * LongHistory[i - 3] + 310 * LongHistory[i]) >> 10;
    }
    const int32_t centreWeight = 1024 - 2 * MWideWeight;
    for (std::size_t i = 7; i < rowBytes; ++i) {
        MiddleHistory[i - 3] =
            (MWideWeight * MiddleHistory[i - 6] + centreWeight * MiddleHistory[i - 3] + MWideWeight * MiddleHistory[i]) >>
            10;
    }
}

// Allocates n entries of T, or returns null when memory is short.
template <typename T>
std::unique_ptr<T[]> TryAllocate(std::size_t n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[n == 0 ? 1 : n]);
}

}  // namespace

int GetSmearlut(uint8_t* hotlut, int iPrintMode) {
    const std::array<uint8_t, 768>& table = iPrintMode != 0 ? Zorv_K40_HighQuality : Zorv_K40_Normal;
    // The built-in blocks are in plane order (blue first); hotlut is indexed
    // by source channel (red first), so the blocks go in reverse.
    for (std::size_t k = 0; k < 3; ++k) {
        for (std::size_t v = 0; v < 256; ++v) hotlut[256 * (2 - k) + v] = table[256 * k + v];
    }
    return 1;
}

int SharpnessIndex(int16_t caSharpness) {
    return caSharpness >= -3 && caSharpness <= 4 ? caSharpness + 4 : 0;
}

int SmearControl(const uint8_t* pSrcBitmap, uint32_t biWidth, uint32_t biHeight, const uint8_t* lpToneCurve,
                 uint8_t* pSendData, int iPrintMode, int16_t caSharpness, const CancelCheck& cancelled) {
    const std::size_t w = biWidth;
    const std::size_t h = biHeight;
    const std::size_t rowBytes = 3 * w;
    const std::size_t width_DIB = (rowBytes + 3) & ~static_cast<std::size_t>(3);
    const int s = SharpnessIndex(caSharpness);
    const SmearConstants& k = iPrintMode != 0 ? HIGH_QUALITY_CONSTANTS : NORMAL_CONSTANTS;

    init_by_array(PAGE_SEED, 4);

    // One entry per byte of a row: the heat each head position carries down
    // the page, in 1/1024 of an energy step.
    auto MiddleHistory = TryAllocate<int32_t>(rowBytes);
    auto LongHistory = TryAllocate<int32_t>(rowBytes);
    auto dither = TryAllocate<uint32_t>(rowBytes);
    auto sharpened = TryAllocate<uint8_t>(s > 0 ? rowBytes : 0);
    if (!MiddleHistory || !LongHistory || !dither || !sharpened) return -1;

    // Plane 0 is printed from blue, plane 1 from green, plane 2 from red.
    uint8_t* const planeOfChannel[3] = {pSendData + 2 * w * h, pSendData + w * h, pSendData};

    for (std::size_t j = 0; j < h; ++j) {
        if (cancelled()) return 1;
        const uint8_t* row = pSrcBitmap + j * width_DIB;
        if (s > 0) {
            SharpenRow(pSrcBitmap, j, h, w, s, sharpened.get());
            row = sharpened.get();
        }
        uint8_t* const out[3] = {planeOfChannel[0] + w * j, planeOfChannel[1] + w * j, planeOfChannel[2] + w * j};

        if (j == 0) {
            // The head is cold before the first row: it prints through the
            // tone table alone, and every history starts at 0.
            for (std::size_t p = 0; p < w; ++p) {
                for (std::size_t c = 0; c < 3; ++c) out[c][p] = lpToneCurve[256 * c + row[3 * p + c]];
            }
            for (std::size_t i = 0; i < rowBytes; ++i) MiddleHistory[i] = LongHistory[i] = 0;
            continue;
        }

        // One random number per byte, drawn in byte order.
        genrand_block(dither.get(), rowBytes);
        for (std::size_t p = 0; p < w; ++p) {
            for (std::size_t c = 0; c < 3; ++c) {
                const std::size_t i = 3 * p + c;
                const int32_t OrgData = int32_t{lpToneCurve[256 * c + row[i]]} * 1024;
                // Raise an energy printed after cooler rows, lower it after
                // hotter ones: first against the fast middle history, then
                // against the slow long one.
                const int32_t MiddleSmear = OrgData + (((OrgData - MiddleHistory[i]) * k.MiddleWeight) >> 10);
                const int32_t LongSmear = MiddleSmear + (((MiddleSmear - LongHistory[i]) * k.LongWeight) >> 10);
                // The dither adds 0 to 2047/1024 before the fraction is dropped.
                int Temp = (LongSmear + static_cast<int32_t>(dither[i] & 0x7FFu)) >> 10;
                Temp = FadeRowEnds(Temp, i, w);
                if (Temp < 0) Temp = 0;
                out[c][p] = static_cast<uint8_t>(Temp);

                LongHistory[i] = Blend(LongHistory[i], LongSmear, k.LongLength);
                // Dense energies keep up to 80/1024 more of the middle history.
                const int32_t retention =
                    MiddleSmear < 0 ? k.MiddleLength_L : k.MiddleLength_H + (OrgData * 80) / 261120;
                MiddleHistory[i] = Blend(MiddleHistory[i], MiddleSmear, retention);
            }
        }
        SmoothAcrossRow(LongHistory.get(), MiddleHistory.get(), rowBytes, k.MWideWeight);
    }
    return 0;
}

}  // namespace velta
