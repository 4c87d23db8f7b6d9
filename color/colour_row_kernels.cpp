// The row kernel of the colour correction. Its body is written once, for a
// group of pixel words that is either one plain int (the portable build) or a
// vector of 8 or 16 of them (AVX2, AVX-512), and inlined into one function
// per instruction set. Every step is exact 32-bit integer arithmetic: table
// reads, shifts, comparisons, selects, and sums and products that stay below
// 2^31, so every build gives the bytes of CorrectPixel.
#include "color/colour_row_kernels.h"

#include <cstring>

#include "color/colour_lanes.h"
#include "cpu/isa_target.h"

namespace velta {
namespace {

using namespace colour_lanes;

// Limits each lane to the byte range 0..255.
template <typename Words>
VELTA_INLINE Words ClampByte(const Words& value) {
  return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// Weight of a value within its cell of the direct map, in 32nds: 0 at the
// cell's lower node, 2..32 above it, so that 32k + 31 reaches the upper node.
template <typename Words>
VELTA_INLINE Words CellWeight(const Words& value) {
  const Words weight = value & 31;
  return weight + ((weight + 31) >> 5);
}

// Each axis's code: its step to the next node along it in the low byte (see
// colour_lookups.h), its bit among the cell's eight corners above (blue 1,
// green 2, red 4). Codes of different axes add up to those of the corner
// that both reach, the far corner's being 91 | 7 << 8.
constexpr int32_t BLUE_CODE = kNodeBlueStep | 1 << 8;
constexpr int32_t GREEN_CODE = kNodeGreenStep | 2 << 8;
constexpr int32_t RED_CODE = kNodeRedStep | 4 << 8;
constexpr int32_t FAR_STEP = kNodeRedStep + kNodeGreenStep + kNodeBlueStep;

// Puts the larger weight first, each with its axis's code. Ties need no
// rule: equal weights give the corner between them a weight of 0.
template <typename Words>
VELTA_INLINE void Order(Words& firstWeight, Words& firstCode, Words& secondWeight, Words& secondCode) {
  const auto swap = secondWeight > firstWeight;
  const Words largerWeight = swap ? secondWeight : firstWeight, largerCode = swap ? secondCode : firstCode;
  const Words smallerWeight = swap ? firstWeight : secondWeight, smallerCode = swap ? firstCode : secondCode;
  firstWeight = largerWeight, firstCode = largerCode;
  secondWeight = smallerWeight, secondCode = smallerCode;
}

// The nodes at the four corners of each lane's tetrahedron: the cell's base
// node (index base), the corners that the codes reach from it, and the far
// corner.
template <typename Words>
VELTA_INLINE void FetchCorners(const int32_t* nodes, const Words& base, const Words& code1, const Words& code2,
                               Words (&corner)[4]) {
  corner[0] = Lookup(nodes, base);
  corner[1] = Lookup(nodes, base + (code1 & 255));
  corner[2] = Lookup(nodes, base + (code2 & 255));
  corner[3] = Lookup(nodes, base + FAR_STEP);
}

#if VELTA_COLOUR_LANES
// Neighbouring pixels of a photo mostly lie in one cell of the map, or two:
// when every lane's cell is the first lane's or the last lane's, the eight
// nodes of each of the two cells come in one AVX-512 gather, and each lane
// picks its corners from them with a permutation, a quarter of the gathering.
// (With AVX2 the same saves no time.) A cell's corner c (blue 1, green 2,
// red 4) is the node kCornerNode[c] on from its base node.
constexpr int32_t kCornerNode[8] = {0, 1, 9, 10, 81, 82, 90, 91};

VELTA_INLINE void FetchCorners(const int32_t* nodes, const Words16& base, const Words16& code1, const Words16& code2,
                               Words16 (&corner)[4]) {
  const Words16 first = __builtin_shuffle(base, Words16{}), last = __builtin_shuffle(base, Words16{} + 15);
  const unsigned inFirst = __builtin_ia32_cmpd512_mask(base, first, 0, 0xFFFF);
  const unsigned inLast = __builtin_ia32_cmpd512_mask(base, last, 0, 0xFFFF);
  if ((inFirst | inLast) != 0xFFFF) {
    FetchCorners<Words16>(nodes, base, code1, code2, corner);
    return;
  }
  constexpr Words16 LANE = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  constexpr Words16 CORNER_NODE = {kCornerNode[0], kCornerNode[1], kCornerNode[2], kCornerNode[3],
                                   kCornerNode[4], kCornerNode[5], kCornerNode[6], kCornerNode[7],
                                   kCornerNode[0], kCornerNode[1], kCornerNode[2], kCornerNode[3],
                                   kCornerNode[4], kCornerNode[5], kCornerNode[6], kCornerNode[7]};
  // The first cell's nodes in lanes 0 to 7, the last cell's in 8 to 15.
  const Words16 cellNodes = Lookup(nodes, (LANE < 8 ? first : last) + CORNER_NODE);
  const Words16 cell = base == first ? Words16{} : Words16{} + 8;
  corner[0] = __builtin_shuffle(cellNodes, cell);
  corner[1] = __builtin_shuffle(cellNodes, cell + (code1 >> 8));
  corner[2] = __builtin_shuffle(cellNodes, cell + (code2 >> 8));
  corner[3] = __builtin_shuffle(cellNodes, cell + 7);
}

#endif

// Maps toned red, green and blue through the direct map's nodes: the cell's
// base node, the far node, and the two between them on the tetrahedron that
// the order of the weights picks, weighted in 32nds that sum to 32. Red and
// blue are summed in one word (red in the low half, blue in the high), as
// no sum exceeds 255 x 32 = 8160.
template <typename Words>
VELTA_INLINE Words MapThroughNodes(const Words& red, const Words& green, const Words& blue, const int32_t* nodes) {
  const Words base = (red >> 5) * kNodeRedStep + (green >> 5) * kNodeGreenStep + (blue >> 5) * kNodeBlueStep;
  Words high = CellWeight(blue), middle = CellWeight(green), low = CellWeight(red);
  Words highCode = Words{} + BLUE_CODE, middleCode = Words{} + GREEN_CODE, lowCode = Words{} + RED_CODE;
  Order(high, highCode, middle, middleCode);
  Order(middle, middleCode, low, lowCode);
  Order(high, highCode, middle, middleCode);

  Words corner[4];
  FetchCorners(nodes, base, highCode, highCode + middleCode, corner);
  const Words k0 = 32 - high, k1 = high - middle, k2 = middle - low, k3 = low;
  constexpr int32_t RED_BLUE = 0xFF00FF;
  const Words redBlue = k0 * (corner[0] & RED_BLUE) + k1 * (corner[1] & RED_BLUE) + k2 * (corner[2] & RED_BLUE) +
                        k3 * (corner[3] & RED_BLUE);
  const Words greens = k0 * (corner[0] >> 8 & 255) + k1 * (corner[1] >> 8 & 255) + k2 * (corner[2] >> 8 & 255) +
                       k3 * (corner[3] >> 8 & 255);
  return (redBlue & 0xFFFF) >> 5 | (greens >> 5) << 8 | (redBlue >> 21) << 16;
}

// The steps of the correction that change colours, for one page.
struct Steps {
  bool saturate, tone, map;
};

// Corrects one group of pixel words: each channel saturated against the mean
// of the other two through clrsatable, then toned, then mapped. A step that
// changes nothing (a saturation table of zeros, identity tone tables) is left
// out.
template <Steps kSteps, typename Words>
VELTA_INLINE Words CorrectWords(const Words& pixels, const ColourLookups& lookups) {
  Words red = pixels & 255, green = pixels >> 8 & 255, blue = pixels >> 16 & 255;
  if constexpr (kSteps.saturate) {
    // Entry 256 + d for a difference d, which stays within -255..255.
    const int16_t* saturation = lookups.saturation.data();
    Words blueTerm, greenTerm;
    LookupEntries<512>(saturation, 256 + blue - ((green + red) >> 1), 256 + green - ((blue + red) >> 1), blueTerm,
                       greenTerm);
    const Words redTerm = LookupEntry<512>(saturation, 256 + red - ((blue + green) >> 1));
    red = ClampByte(red + redTerm), green = ClampByte(green + greenTerm), blue = ClampByte(blue + blueTerm);
  }
  if constexpr (kSteps.tone) {
    red = LookupEntry<256>(lookups.red.data(), red);
    green = LookupEntry<256>(lookups.green.data(), green);
    blue = LookupEntry<256>(lookups.blue.data(), blue);
  }
  if constexpr (kSteps.map) {
    return MapThroughNodes(red, green, blue, lookups.nodes.data());
  } else {
    return red | green << 8 | blue << 16;
  }
}

// Corrects a row group by group. The last pixels, too few for a whole read,
// go through a copy, so that no byte after the row is read or written.
template <Steps kSteps, typename Words>
VELTA_INLINE void CorrectRowBody(uint8_t* row, std::size_t width, const ColourLookups& lookups) {
  constexpr std::size_t GROUP = PIXELS<Words>;
  std::size_t x = 0;
  for (; 3 * x + READ_BYTES<Words> <= 3 * width; x += GROUP) {
    WritePixels(row + 3 * x, CorrectWords<kSteps>(ReadPixels<Words>(row + 3 * x), lookups));
  }
  while (x < width) {
    const std::size_t count = width - x < GROUP ? width - x : GROUP;
    uint8_t copy[READ_BYTES<Words>] = {};
    std::memcpy(copy, row + 3 * x, 3 * count);
    WritePixels(copy, CorrectWords<kSteps>(ReadPixels<Words>(copy), lookups));
    std::memcpy(row + 3 * x, copy, 3 * count);
    x += count;
  }
}

// The kernel body for one group width, with or without the direct map.
template <typename Words, bool kSaturate, bool kTone>
VELTA_INLINE void CorrectRowWith(uint8_t* row, std::size_t width, const ColourLookups& lookups) {
  if (lookups.directmap) {
    CorrectRowBody<Steps{kSaturate, kTone, true}, Words>(row, width, lookups);
  } else {
    CorrectRowBody<Steps{kSaturate, kTone, false}, Words>(row, width, lookups);
  }
}

// The kernel body for one group width and the page's steps: one body for
// each of the eight choices, so that no pixel asks which steps to take.
template <typename Words>
VELTA_INLINE void CorrectRowOf(uint8_t* row, std::size_t width, const ColourLookups& lookups) {
  if (lookups.saturates) {
    lookups.tones ? CorrectRowWith<Words, true, true>(row, width, lookups)
                  : CorrectRowWith<Words, true, false>(row, width, lookups);
  } else {
    lookups.tones ? CorrectRowWith<Words, false, true>(row, width, lookups)
                  : CorrectRowWith<Words, false, false>(row, width, lookups);
  }
}

// Stamps out the kernel of one instruction set: the body inlined under the
// given target attribute.
#define VELTA_COLOUR_ROW_KERNELS(NAME, ISA, TARGET, WORDS)                                \
  namespace NAME {                                                                        \
  TARGET void CorrectRow(uint8_t* row, std::size_t width, const ColourLookups& lookups) { \
    CorrectRowOf<WORDS>(row, width, lookups);                                             \
  }                                                                                       \
  constexpr ColourRowKernels KERNELS{ISA, CorrectRow};                                    \
  }

VELTA_COLOUR_ROW_KERNELS(portable, Isa::Portable, , int32_t)
#if VELTA_COLOUR_LANES
VELTA_COLOUR_ROW_KERNELS(avx2, Isa::Avx2, VELTA_AVX2_TARGET, Words8)
VELTA_COLOUR_ROW_KERNELS(avx512, Isa::Avx512, VELTA_AVX512_TARGET, Words16)
#endif

}  // namespace

const ColourRowKernels& ColourRowKernelsFor(Isa isa) {
#if VELTA_COLOUR_LANES
  return KernelsOf(isa, portable::KERNELS, &avx2::KERNELS, &avx512::KERNELS);
#else
  return KernelsOf<ColourRowKernels>(isa, portable::KERNELS, nullptr, nullptr);
#endif
}

}  // namespace velta
