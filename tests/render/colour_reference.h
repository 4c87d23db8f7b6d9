#pragma once

#include <cstdint>

#include "color/color_adjust.h"

// The colour correction and the picture resizing as first written, byte for
// byte the expectation for the faster versions in the colour subsystem.
namespace velta::colour_reference {

// Enlarges the picture about its centre by (magnification + 100) / 100.
int ResizePicture(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                  int32_t iMagnificationY);

// Reduces the picture onto the centre of a white page by (magnification + 100) / 100.
int ResizePictureAverage(uint8_t* pSrcBitmap, int32_t biWidth, int32_t biHeight, int32_t iMagnificationX,
                         int32_t iMagnificationY);

// Saturates and tones one row of pixels in place, then maps each through
// DmapTbl when bTableRet is non-zero, one pixel at a time.
void ColorCorrection(uint8_t* lpdt, int16_t width, const ColorTableSet& colortable, int bTableRet,
                     const uint8_t* DmapTbl);

// Returns the least common multiple of two positive numbers.
int64_t CalcLCM(int64_t a, int64_t b);

}  // namespace velta::colour_reference
