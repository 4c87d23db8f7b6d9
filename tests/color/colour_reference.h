#pragma once

#include <cstdint>

#include "color/color_adjust.h"

// The colour correction and the picture resizing as first written, byte for
// byte the expectation for the faster versions in the colour subsystem. Only
// the routines whose faster version is written differently are kept here; the
// least common multiple and the direct colour map they call are the colour
// subsystem's own, checked against literal values in their own tests.
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

}  // namespace velta::colour_reference
