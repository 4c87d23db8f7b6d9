// Picture resizing: the picture is enlarged about its centre or reduced onto the
// centre of a white page, while the page keeps its size.
#pragma once

#include <cstdint>

namespace velta {

// Enlarges the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with bilinear interpolation and keeps the centre;
// returns 0, or -1 when the work picture cannot be allocated (page untouched).
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY, int threads = 1);

// Reduces the picture in the page buffer pSrcBitmap (read and written) by
// (magnification + 100) / 100 with exact area averaging and centres it on a white
// page; returns 0, or -1 when a work picture cannot be allocated (page untouched).
// With threads 2 the rows are shared with a helper thread; the bytes are the same.
int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight,
                         int32_t iMagnificationX, int32_t iMagnificationY, int threads = 1);

// Returns the least common multiple of two positive numbers (0 when either is not
// positive or the multiple does not fit in 64 bits).
int64_t CalcLCM(int64_t a, int64_t b);

}  // namespace velta
