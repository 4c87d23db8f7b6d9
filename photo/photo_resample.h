// The resampling of a decoded photo onto the sheet: Lanczos-3, separable,
// widened by the reduction factor when reducing, with fixed-point weights
// computed once per sheet row and column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "photo/photo_image.h"
#include "photo/photo_layout.h"
#include "photo/photo_resample_kernels.h"

namespace velta {

// The Lanczos-3 kernel: sinc(x) sinc(x / 3) inside |x| < 3, exactly 1 at 0.
double Lanczos3(double x);

// Decoded pixels per stored pixel along an axis of `stored` pixels decoded as
// `decoded`: N/8 when the decoded size is a JPEG reduction by N/8 (rounded
// up), where the decoded pixels are exactly N/8 as wide; else the ratio.
double DecodedScale(uint32_t stored, uint32_t decoded);

// The source pixels and weights of each covered dot along one sheet axis.
struct AxisTaps {
  uint32_t begin = 0;  // the dots [begin, end) that the photo covers
  uint32_t end = 0;
  std::unique_ptr<uint32_t[]> first;      // the first source pixel of dot begin + k
  std::unique_ptr<uint32_t[]> count;      // how many taps it has
  std::unique_ptr<std::size_t[]> offset;  // where its weights start
  std::unique_ptr<int16_t[]> weights;     // summing to kWeightUnit for each dot

  // Works the taps out for the photo laid out as `layout` along a sheet axis
  // of `dots` dots, read from `decoded` pixels along the matching stored axis
  // (mirrored when flip). False when memory is short.
  bool Build(const AxisLayout& layout, uint32_t dots, uint32_t decoded, bool flip);
};

// One decoded photo resampled onto one sheet, in tiles: the first pass
// combines stored rows for a run of outputs into a transposed middle buffer,
// the second combines its rows along stored x into sheet pixels. Both passes
// are loops along rows that the compiler vectorises.
class PhotoResampler {
 public:
  // Plans the photo laid out as `layout` on a sheet_width x sheet_height
  // sheet and takes all the work memory, for two workers. False when memory
  // is short.
  bool Prepare(const PhotoImage& image, const PhotoLayout& layout, uint32_t sheet_width, uint32_t sheet_height);

  // The rows Render hands out at a time; RenderRows takes bands that start
  // at multiples of it.
  std::size_t band_rows() const;

  // Writes every byte of sheet rows [begin, end) (rows of `stride` bytes),
  // with the work memory of worker 0 or 1.
  void RenderRows(uint8_t* page, std::size_t stride, std::size_t begin, std::size_t end, int worker);

  // The work memory taken, in bytes: tables and both workers' buffers.
  std::size_t work_bytes() const { return work_bytes_; }

 private:
  // The stored-x range [first, end) of decoded pixels that x outputs [n0, n1) read.
  void SourceColumns(uint32_t n0, uint32_t n1, uint32_t& first, uint32_t& end) const;
  // Resamples the tile of x outputs [n0, n1) by y outputs [m0, m1).
  void Tile(uint32_t n0, uint32_t n1, uint32_t m0, uint32_t m1, uint8_t* page, std::size_t stride, int worker);

  const PhotoResampleKernels* kernels_ = nullptr;
  const uint8_t* pixels_ = nullptr;
  std::size_t row_bytes_ = 0;
  bool swap_ = false;                   // sheet rows run along stored x
  AxisTaps x_;                          // along stored x: sheet columns, or rows when swapped
  AxisTaps y_;                          // along stored y
  uint32_t x_chunk_ = 0, y_chunk_ = 0;  // outputs per tile along each
  std::unique_ptr<int16_t[]> middle_[2];
  std::unique_ptr<int32_t[]> sums_[2];
  std::unique_ptr<int16_t[]> rows_[2];  // a first-pass row before it goes down the middle buffer
  std::unique_ptr<uint8_t[]> dots_[2];  // a second-pass run before it goes down a sheet column
  std::size_t work_bytes_ = 0;
};

}  // namespace velta
