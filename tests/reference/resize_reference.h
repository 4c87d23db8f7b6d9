// A plain, pixel-by-pixel account of the printer's picture resizing: the
// enlargement about the centre and the reduction onto a white page. Worked out
// from the arithmetic, with none of the filter's own resizing code, so that it
// can serve as the expected result.
#pragma once

#include <cstdint>

#include "tests/support/picture.h"

namespace velta::reference {

using test::Picture;

// Enlarges the picture by (across + 100) / 100 along its rows and (down + 100)
// / 100 down its columns and keeps the centre, at the same size, by bilinear
// interpolation in double precision. A magnification of 0 or less leaves its
// axis as it is; when both do, the picture is left alone, row ends included.
// For magnifications whose enlarged size stays within the int range.
void Enlarge(Picture& picture, int32_t across, int32_t down);

// Reduces the picture by (across + 100) / 100 along its rows and (down + 100) /
// 100 down its columns by exact area averaging, rows first, and places it in
// the centre of a white page. A magnification of 0 or more leaves its axis as
// it is; when both do, the picture is left alone. A picture shrunk to nothing
// leaves a white page.
void Reduce(Picture& picture, int32_t across, int32_t down);

}  // namespace velta::reference
