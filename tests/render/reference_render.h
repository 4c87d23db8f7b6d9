#pragma once

#include <cstdint>

// A plain, byte-by-byte rendering of a page into head data, written directly
// from the algorithm with its own generator and conversion tables. It is the
// expectation for the library's renderer and for faster variants of it.
namespace velta::reference {

// Returns the sharpened value of byte x of row y of a page of h rows of w
// pixels (row stride (3w + 3) & ~3) at sharpness index s (0..8).
int ChangeSharpness(const uint8_t* page, int64_t y, int64_t x, int64_t h, int64_t w, int s);

// Renders the page through the tone table hotlut into the three planes of
// send (3 w h bytes), as the printer's smear control does.
void SmearControl(const uint8_t* page, uint32_t w, uint32_t h, const uint8_t* hotlut, uint8_t* send, int iPrintMode,
                  int16_t caSharpness);

}  // namespace velta::reference
