// The turns as signed permutation matrices on coordinates measured from the
// picture's centre: a stored point is M times the turned point, and a turn
// after another is the product of their matrices.
#include "photo/photo_turn.h"

namespace velta {
namespace {

struct Matrix {
  int m[2][2];
};

// The matrix of a turn: stored (x, y) from turned (u, v), about the centres.
Matrix MatrixOf(PhotoTurn turn) {
  const int sx = turn.flip_x ? -1 : 1;
  const int sy = turn.flip_y ? -1 : 1;
  if (turn.swap) return {{{0, sx}, {sy, 0}}};
  return {{{sx, 0}, {0, sy}}};
}

// The turn of a signed permutation matrix.
PhotoTurn TurnOf(const Matrix& a) {
  const bool swap = a.m[0][0] == 0;
  return {swap, (swap ? a.m[0][1] : a.m[0][0]) < 0, (swap ? a.m[1][0] : a.m[1][1]) < 0};
}

constexpr PhotoTurn kQuarterCounterClockwise{true, true, false};
constexpr PhotoTurn kQuarterClockwise{true, false, true};
constexpr PhotoTurn kHalf{false, true, true};

}  // namespace

PhotoTurn ExifTurn(uint8_t orientation) {
  switch (orientation) {
    case 2:  // mirrored left to right
      return {false, true, false};
    case 3:
      return kHalf;
    case 4:  // mirrored top to bottom
      return {false, false, true};
    case 5:  // transposed: mirrored about the top-left to bottom-right diagonal
      return {true, false, false};
    case 6:  // stored a quarter counter-clockwise: turned clockwise to stand
      return kQuarterClockwise;
    case 7:  // transverse: mirrored about the other diagonal
      return {true, true, true};
    case 8:
      return kQuarterCounterClockwise;
    default:
      return {};
  }
}

PhotoTurn RequestedTurn(int orientation_requested) {
  switch (orientation_requested) {
    case 4:
      return kQuarterCounterClockwise;
    case 5:
      return kQuarterClockwise;
    case 6:
      return kHalf;
    default:
      return {};
  }
}

PhotoTurn Combine(PhotoTurn first, PhotoTurn then) {
  // stored = A upright, upright = B turned: stored = (A B) turned.
  const Matrix a = MatrixOf(first);
  const Matrix b = MatrixOf(then);
  Matrix product{};
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) product.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c];
  }
  return TurnOf(product);
}

PhotoTurn SheetTurn(uint32_t stored_width, uint32_t stored_height, uint8_t exif_orientation, int orientation_requested,
                    uint32_t sheet_width, uint32_t sheet_height) {
  const PhotoTurn upright = ExifTurn(exif_orientation);
  if (orientation_requested >= 3 && orientation_requested <= 6)
    return Combine(upright, RequestedTurn(orientation_requested));
  const uint32_t width = upright.swap ? stored_height : stored_width;
  const uint32_t height = upright.swap ? stored_width : stored_height;
  const bool mismatched =
      (width > height && sheet_height > sheet_width) || (height > width && sheet_width > sheet_height);
  return mismatched ? Combine(upright, kQuarterCounterClockwise) : upright;
}

}  // namespace velta
