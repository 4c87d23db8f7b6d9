// Writes and reads 8-bit PNG pictures with libpng.
#include "png_file.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace velta {
namespace {

// Closes a FILE when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors through longjmp; keep the message before it jumps.
void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error) *error = message;
  png_longjmp(png, 1);
}

// Warnings do not stop the work.
void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool WritePng(const std::string& path, uint32_t width, uint32_t height, int channels, std::span<const uint8_t> pixels,
              std::string& error) {
  if (width == 0 || height == 0 || (channels != 1 && channels != 3) ||
      pixels.size() != uint64_t{width} * height * static_cast<uint64_t>(channels)) {
    error = "picture size does not match its pixels";
    return false;
  }
  FilePtr file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory for PNG";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = path + ": " + error;
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, width, height, 8, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = size_t{width} * static_cast<size_t>(channels);
  for (uint32_t y = 0; y < height; ++y) png_write_row(png, pixels.data() + size_t{y} * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ReadPng(const std::string& path, PngPicture& picture, std::string& error) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    error = "out of memory for PNG";
    return false;
  }
  // Held on the heap: a local changed between setjmp and longjmp would be
  // left in an indeterminate state.
  auto result = std::make_unique<PngPicture>();
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    error = path + ": " + error;
    return false;
  }
  png_init_io(png, file.get());
  png_read_info(png, info);
  const int color_type = png_get_color_type(png, info);
  if (png_get_bit_depth(png, info) != 8 || (color_type != PNG_COLOR_TYPE_GRAY && color_type != PNG_COLOR_TYPE_RGB)) {
    png_destroy_read_struct(&png, &info, nullptr);
    error = path + ": not an 8-bit grey or RGB picture";
    return false;
  }
  result->width = png_get_image_width(png, info);
  result->height = png_get_image_height(png, info);
  result->channels = color_type == PNG_COLOR_TYPE_GRAY ? 1 : 3;
  const size_t stride = size_t{result->width} * static_cast<size_t>(result->channels);
  result->pixels.resize(stride * result->height);
  for (uint32_t y = 0; y < result->height; ++y) png_read_row(png, result->pixels.data() + size_t{y} * stride, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  picture = std::move(*result);
  return true;
}

}  // namespace velta
