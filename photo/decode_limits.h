// The sizes a photo may have and the memory its decoding takes: refused with
// one sentence for the job's log, never a crash.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "photo/photo_decode.h"
#include "photo/photo_image.h"

namespace velta {

// The longest side the decoder takes, in pixels as stored.
inline constexpr uint64_t kMaxPhotoSide = 65535;

// The decoders ask whether the job was cancelled once per this many rows.
inline constexpr uint32_t kCancelRowStep = 16;

// Checks a stored size from a header against the printer's limits; false with
// problem set when it is zero or too large.
bool CheckPhotoSize(uint64_t width, uint64_t height, std::string& problem);

// Takes count bytes of work memory, not zeroed; nullptr with problem set when
// the size does not fit in memory or the memory is not there.
std::unique_ptr<uint8_t[]> TakeBytes(uint64_t count, std::string& problem);

// Takes the memory for width x height sRGB pixels into image (not zeroed) and
// sets its decoded size; false with problem set when it cannot.
bool TakePixels(uint32_t width, uint32_t height, PhotoImage& image, std::string& problem);

// Gives a decoded image what the header said of the whole photo: its stored
// size, orientation and resolution, which the placing works from.
void TakeHeaderFacts(const PhotoHeader& header, PhotoImage& image);

}  // namespace velta
