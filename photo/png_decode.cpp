#include "photo/png_decode.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "photo/decode_limits.h"
#include "photo/exif_orientation.h"
#include "photo/icc_to_srgb.h"
#include "photo/png_rows.h"

namespace velta {
namespace {

// Signature (8), IHDR's length and type (8), its body (13) and CRC (4).
constexpr std::size_t kHeaderBytes = 33;

// One pass of libpng over the file held in memory.
struct PngRead {
  explicit PngRead(std::span<const uint8_t> bytes) : file(bytes) {}
  ~PngRead() { png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr); }
  PngRead(const PngRead&) = delete;
  PngRead& operator=(const PngRead&) = delete;

  std::span<const uint8_t> file;
  std::size_t at = 0;
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool truncated = false;  // the file ended before libpng was done with it
  char message[256] = {};  // libpng's message for its error
};

// libpng's error handler: records the message and jumps back to the setjmp.
[[noreturn]] void PngError(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
  std::snprintf(read->message, sizeof read->message, "%s", message);
  png_longjmp(png, 1);
}

// libpng's warnings concern ancillary chunks it drops; the pixels are sound.
void PngWarning(png_structp, png_const_charp) {}

// libpng's read callback over the bytes in memory.
void ReadBytes(png_structp png, png_bytep data, std::size_t length) {
  auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
  if (length > read->file.size() - read->at) {
    read->truncated = true;
    png_error(png, "the file ends early");
  }
  std::memcpy(data, read->file.data() + read->at, length);
  read->at += length;
}

// The sentence for libpng's failure.
std::string PngProblem(const PngRead& read) {
  if (read.truncated) return "The PNG file is truncated.";
  std::string message = read.message;
  // libpng's own structures could not be made, or it said "Out of memory".
  if (message.empty() || message.find("memory") != std::string::npos) return "Not enough memory to decode the photo.";
  while (!message.empty() && message.back() == '.') message.pop_back();
  // "Not enough image data" reads on as "not enough image data"; "IDAT" stays.
  if (message.size() > 1 && std::islower(static_cast<unsigned char>(message[1]))) {
    message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
  }
  return "The PNG file is corrupt: " + message + ".";
}

// Reads the chunks up to the first image data.
bool ReadInfo(PngRead& read) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  png_read_info(read.png, read.info);
  return true;
}

// Sets libpng up over the file and reads up to the first image data.
bool BeginRead(PngRead& read) {
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, PngError, PngWarning);
  if (read.png != nullptr) read.info = png_create_info_struct(read.png);
  if (read.info == nullptr) return false;
  png_set_read_fn(read.png, &read, ReadBytes);
  return ReadInfo(read);
}

// A big-endian 32-bit number.
uint32_t Read32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// The rows libpng hands over once its transformations are set.
struct RowLayout {
  uint32_t channels = 0;   // 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
  uint32_t bit_depth = 0;  // 8 or 16
  std::size_t row_bytes = 0;
  int passes = 1;  // 7 for an interlaced file
  bool flat() const { return bit_depth == 8 && (channels == 1 || channels == 3); }
};

enum class RowsEnd { Done, Cancelled, Failed };

// One PNG photo. A decode reads the file anew with a libpng of its own.
class PngDecoder final : public PhotoDecoder {
 public:
  explicit PngDecoder(std::span<const uint8_t> file) : file_(file) {}

  bool Open(std::string& problem);
  const PhotoHeader& header() const override { return header_; }
  bool Decode(uint32_t min_width, uint32_t min_height, const CancelCheck& cancelled, PhotoImage& image,
              std::string& problem) override;

 private:
  std::span<const uint8_t> file_;
  PhotoHeader header_;
  std::vector<uint8_t> icc_;
};

// Reads the header: the size straight from IHDR, so that it is checked
// before libpng takes any memory for rows, then the chunks before the image.
bool PngDecoder::Open(std::string& problem) {
  if (file_.size() < kHeaderBytes) {
    problem = "The PNG file is truncated.";
    return false;
  }
  if (std::memcmp(file_.data() + 12, "IHDR", 4) != 0) {
    problem = "The PNG file is corrupt: it does not start with its IHDR header.";
    return false;
  }
  if (!CheckPhotoSize(Read32(file_.data() + 16), Read32(file_.data() + 20), problem)) return false;
  PngRead read(file_);
  if (!BeginRead(read)) {
    problem = PngProblem(read);
    return false;
  }
  header_.format = PhotoFormat::Png;
  header_.width = png_get_image_width(read.png, read.info);
  header_.height = png_get_image_height(read.png, read.info);
  png_uint_32 res_x = 0, res_y = 0;
  int unit = PNG_RESOLUTION_UNKNOWN;
  if (png_get_pHYs(read.png, read.info, &res_x, &res_y, &unit) != 0 && unit == PNG_RESOLUTION_METER && res_x != 0 &&
      res_y != 0) {
    header_.dpi_x = res_x * 0.0254;
    header_.dpi_y = res_y * 0.0254;
  }
  png_uint_32 exif_size = 0;
  png_bytep exif = nullptr;
  if (png_get_eXIf_1(read.png, read.info, &exif_size, &exif) != 0 && exif != nullptr) {
    header_.exif_orientation = TiffOrientation({exif, exif_size});
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profile_size = 0;
  if (png_get_iCCP(read.png, read.info, &name, &compression, &profile, &profile_size) != 0 && profile != nullptr) {
    icc_.assign(profile, profile + profile_size);
  }
  return true;
}

// Has libpng expand every kind of PNG to grey, grey + alpha, RGB or RGBA of
// 8 or 16 bits, and deinterlace it.
bool SetTransforms(PngRead& read, RowLayout& layout) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return false;
  const int colour_type = png_get_color_type(read.png, read.info);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(read.png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(read.png, read.info) < 8) {
    png_set_expand_gray_1_2_4_to_8(read.png);
  }
  // A transparent colour or palette entries become an alpha channel, laid
  // over white with the rest.
  if (png_get_valid(read.png, read.info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(read.png);
  layout.passes = png_set_interlace_handling(read.png);
  png_read_update_info(read.png, read.info);
  layout.channels = png_get_channels(read.png, read.info);
  layout.bit_depth = png_get_bit_depth(read.png, read.info);
  layout.row_bytes = png_get_rowbytes(read.png, read.info);
  return true;
}

// Turns one row as libpng hands it over into sRGB at out (flat holds the
// flattened row when it needs flattening).
void FinishRow(const uint8_t* raw, uint8_t* flat, uint8_t* out, uint32_t width, const RowLayout& layout,
               const SrgbConverter& converter) {
  if (!layout.flat()) {
    FlattenPngRow(raw, flat, width, layout.channels, layout.bit_depth);
    raw = flat;
  }
  converter.Convert(raw, out, width);
}

// Reads the rows of a file that is not interlaced, each straight to sRGB,
// then the chunks to the end.
RowsEnd ReadRows(PngRead& read, const RowLayout& layout, const SrgbConverter& converter, uint8_t* raw, uint8_t* flat,
                 PhotoImage& image, const CancelCheck& cancelled) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return RowsEnd::Failed;
  for (uint32_t y = 0; y < image.height; ++y) {
    if (y % kCancelRowStep == 0 && cancelled()) return RowsEnd::Cancelled;
    png_read_row(read.png, raw, nullptr);
    FinishRow(raw, flat, image.rgb.get() + y * image.row_bytes(), image.width, layout, converter);
  }
  png_read_end(read.png, nullptr);
  return RowsEnd::Done;
}

// Reads the seven passes of an interlaced file into whole (height rows of
// layout.row_bytes), then the chunks to the end.
RowsEnd ReadPasses(PngRead& read, const RowLayout& layout, uint8_t* whole, uint32_t height,
                   const CancelCheck& cancelled) {
  if (setjmp(png_jmpbuf(read.png)) != 0) return RowsEnd::Failed;
  for (int pass = 0; pass < layout.passes; ++pass) {
    for (uint32_t y = 0; y < height; ++y) {
      if (y % kCancelRowStep == 0 && cancelled()) return RowsEnd::Cancelled;
      png_read_row(read.png, whole + y * layout.row_bytes, nullptr);
    }
  }
  png_read_end(read.png, nullptr);
  return RowsEnd::Done;
}

// Turns the held rows of an interlaced file into sRGB, from the last row up
// (whole may be the output itself).
RowsEnd FinishHeldRows(const uint8_t* whole, const RowLayout& layout, const SrgbConverter& converter, uint8_t* raw,
                       uint8_t* flat, PhotoImage& image, const CancelCheck& cancelled) {
  for (uint32_t y = image.height; y-- > 0;) {
    if (y % kCancelRowStep == 0 && cancelled()) return RowsEnd::Cancelled;
    std::memcpy(raw, whole + y * layout.row_bytes, layout.row_bytes);
    FinishRow(raw, flat, image.rgb.get() + y * image.row_bytes(), image.width, layout, converter);
  }
  return RowsEnd::Done;
}

// Decodes the pixels; a PNG is always decoded whole.
bool PngDecoder::Decode(uint32_t, uint32_t, const CancelCheck& cancelled, PhotoImage& image, std::string& problem) {
  problem.clear();
  PngRead read(file_);
  RowLayout layout;
  if (!BeginRead(read) || !SetTransforms(read, layout)) {
    problem = PngProblem(read);
    return false;
  }
  const SrgbConverter converter(layout.channels <= 2 ? SourcePixels::Grey : SourcePixels::Rgb, icc_);
  PhotoImage decoded;
  if (!TakePixels(header_.width, header_.height, decoded, problem)) return false;
  std::unique_ptr<uint8_t[]> raw = TakeBytes(layout.row_bytes, problem);
  std::unique_ptr<uint8_t[]> flat = TakeBytes(uint64_t{header_.width} * 3, problem);
  if (raw == nullptr || flat == nullptr) return false;
  RowsEnd end;
  if (layout.passes == 1) {
    end = ReadRows(read, layout, converter, raw.get(), flat.get(), decoded, cancelled);
  } else {
    // Every pass adds to rows the earlier ones began, so the whole photo is
    // held as libpng hands it over. When that takes no more than 3 bytes a
    // pixel it is held in the output, and the rows are turned to sRGB from
    // the last up: row y's sRGB then covers only its own and later rows.
    std::unique_ptr<uint8_t[]> held;
    uint8_t* whole = decoded.rgb.get();
    if (layout.row_bytes > decoded.row_bytes()) {
      held = TakeBytes(uint64_t{layout.row_bytes} * header_.height, problem);
      if (held == nullptr) return false;
      whole = held.get();
    }
    end = ReadPasses(read, layout, whole, header_.height, cancelled);
    if (end == RowsEnd::Done) end = FinishHeldRows(whole, layout, converter, raw.get(), flat.get(), decoded, cancelled);
  }
  if (end != RowsEnd::Done) {
    if (end == RowsEnd::Failed) problem = PngProblem(read);
    return false;
  }
  TakeHeaderFacts(header_, decoded);
  image = std::move(decoded);
  return true;
}

}  // namespace

// Reads the header of the PNG in file.
std::unique_ptr<PhotoDecoder> OpenPng(std::span<const uint8_t> file, std::string& problem) {
  auto decoder = std::make_unique<PngDecoder>(file);
  if (!decoder->Open(problem)) return nullptr;
  return decoder;
}

}  // namespace velta
