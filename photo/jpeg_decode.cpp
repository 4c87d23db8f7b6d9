#include "photo/jpeg_decode.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "photo/decode_limits.h"
#include "photo/exif_orientation.h"
#include "photo/icc_to_srgb.h"
#include "photo/jpeg_errors.h"

namespace velta {
namespace {

constexpr int kExifMarker = JPEG_APP0 + 1;
constexpr int kIccMarker = JPEG_APP0 + 2;
constexpr uint8_t kExifStart[6] = {'E', 'x', 'i', 'f', 0, 0};

// libjpeg's progress hook, made to ask whether the job was cancelled: it is
// called for every row read and for every row of blocks that a progressive
// photo's scans take in before its first row comes out.
struct CancelWatch {
  jpeg_progress_mgr pub;  // first: libjpeg hands back a jpeg_progress_mgr*
  const CancelCheck* cancelled = nullptr;
  JpegErrors* errors = nullptr;
  uint32_t calls = 0;
  bool seen = false;
};

// Asks every kCancelRowStep calls; a cancel leaves libjpeg like an error.
void WatchCancel(j_common_ptr cinfo) {
  auto* watch = reinterpret_cast<CancelWatch*>(cinfo->progress);
  if (++watch->calls % kCancelRowStep == 0 && (*watch->cancelled)()) {
    watch->seen = true;
    std::longjmp(watch->errors->jump, 1);
  }
}

// The layout libjpeg decodes a colour space into, or none for one it cannot
// turn into grey, RGB or CMYK.
std::optional<SourcePixels> PixelsOf(const jpeg_decompress_struct& cinfo) {
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      return SourcePixels::Grey;
    case JCS_YCbCr:
    case JCS_RGB:
      return SourcePixels::Rgb;
    case JCS_CMYK:
    case JCS_YCCK:
      // Photoshop stores CMYK inverted and says so with its Adobe marker.
      return cinfo.saw_Adobe_marker ? SourcePixels::InvertedCmyk : SourcePixels::Cmyk;
    default:
      return std::nullopt;
  }
}

// libjpeg's output colour space for a layout.
J_COLOR_SPACE OutputSpace(SourcePixels pixels) {
  switch (pixels) {
    case SourcePixels::Grey:
      return JCS_GRAYSCALE;
    case SourcePixels::Rgb:
      return JCS_RGB;
    default:
      return JCS_CMYK;
  }
}

// The fewest eighths, 1 to 8, at which libjpeg's DCT scaling still decodes at
// least min_width x min_height; it rounds a scaled side up.
unsigned ScaleEighths(uint32_t width, uint32_t height, uint32_t min_width, uint32_t min_height) {
  for (unsigned eighths = 1; eighths < 8; ++eighths) {
    if ((uint64_t{width} * eighths + 7) / 8 >= min_width && (uint64_t{height} * eighths + 7) / 8 >= min_height) {
      return eighths;
    }
  }
  return 8;
}

// The resolution a JFIF header states, in dots per inch; 0 for none or for
// a pixel aspect only (units 0).
double JfifDpi(const jpeg_decompress_struct& cinfo, unsigned density) {
  if (!cinfo.saw_JFIF_marker || density == 0) return 0;
  if (cinfo.density_unit == 1) return density;
  if (cinfo.density_unit == 2) return density * 2.54;
  return 0;
}

// One JPEG photo. Every function that calls into libjpeg sets errors_.jump
// first and keeps no object with a destructor of its own, as a longjmp skips
// destructors.
class JpegDecoder final : public PhotoDecoder {
 public:
  explicit JpegDecoder(std::span<const uint8_t> file) : file_(file) { UseJpegErrors(cinfo_, errors_); }
  ~JpegDecoder() override {
    jpeg_destroy_decompress(&cinfo_);
    std::free(icc_);
  }

  bool Open(std::string& problem);
  const PhotoHeader& header() const override { return header_; }
  bool Decode(uint32_t min_width, uint32_t min_height, const CancelCheck& cancelled, PhotoImage& image,
              std::string& problem) override;

 private:
  enum class RowsEnd { Done, Cancelled, Failed };

  bool ReadHeader();
  bool ReadIccProfile();
  bool Scale(SourcePixels pixels, unsigned eighths);
  RowsEnd ReadRows(const SrgbConverter& converter, uint8_t* row, PhotoImage& image, const CancelCheck& cancelled);

  std::span<const uint8_t> file_;
  jpeg_decompress_struct cinfo_{};
  JpegErrors errors_{};
  CancelWatch watch_{};  // a member, not a local: it must keep its value across a longjmp
  bool created_ = false;
  bool used_ = false;  // a decode took libjpeg past the header
  PhotoHeader header_;
  JOCTET* icc_ = nullptr;  // libjpeg's malloc'd copy of the ICC profile
  unsigned icc_size_ = 0;
};

// Reads the header (again after a decode), keeping the EXIF and ICC markers.
bool JpegDecoder::ReadHeader() {
  if (setjmp(errors_.jump) != 0) return false;
  if (!created_) {
    jpeg_create_decompress(&cinfo_);
    created_ = true;
  }
  jpeg_abort_decompress(&cinfo_);
  jpeg_mem_src(&cinfo_, file_.data(), file_.size());
  jpeg_save_markers(&cinfo_, kExifMarker, 0xFFFF);
  jpeg_save_markers(&cinfo_, kIccMarker, 0xFFFF);
  jpeg_read_header(&cinfo_, TRUE);
  return true;
}

// Gathers the ICC profile from its APP2 segments; none when they are broken.
bool JpegDecoder::ReadIccProfile() {
  if (setjmp(errors_.jump) != 0) return false;
  if (!jpeg_read_icc_profile(&cinfo_, &icc_, &icc_size_)) {
    icc_ = nullptr;
    icc_size_ = 0;
  }
  return true;
}

// Reads the header and what it says.
bool JpegDecoder::Open(std::string& problem) {
  if (!ReadHeader() || !ReadIccProfile()) {
    problem = JpegProblem(errors_, cinfo_);
    return false;
  }
  if (!CheckPhotoSize(cinfo_.image_width, cinfo_.image_height, problem)) return false;
  if (!PixelsOf(cinfo_)) {
    problem = "The JPEG file has " + std::to_string(cinfo_.num_components) +
              " colour components in a form this decoder does not know.";
    return false;
  }
  header_.format = PhotoFormat::Jpeg;
  header_.width = cinfo_.image_width;
  header_.height = cinfo_.image_height;
  header_.dpi_x = JfifDpi(cinfo_, cinfo_.X_density);
  header_.dpi_y = JfifDpi(cinfo_, cinfo_.Y_density);
  if (header_.dpi_x == 0 || header_.dpi_y == 0) header_.dpi_x = header_.dpi_y = 0;
  for (jpeg_saved_marker_ptr marker = cinfo_.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == kExifMarker && marker->data_length >= sizeof kExifStart &&
        std::memcmp(marker->data, kExifStart, sizeof kExifStart) == 0) {
      header_.exif_orientation = ExifOrientation({marker->data, marker->data_length});
      break;
    }
  }
  return true;
}

// Sets the output colour space and the DCT scaling, and has libjpeg work out
// the decoded size.
bool JpegDecoder::Scale(SourcePixels pixels, unsigned eighths) {
  if (setjmp(errors_.jump) != 0) return false;
  cinfo_.out_color_space = OutputSpace(pixels);
  cinfo_.scale_num = eighths;
  cinfo_.scale_denom = 8;
  jpeg_calc_output_dimensions(&cinfo_);
  return true;
}

// Decodes every row into image through the converter (row holds one decoded
// row when the converter does more than copy).
JpegDecoder::RowsEnd JpegDecoder::ReadRows(const SrgbConverter& converter, uint8_t* row, PhotoImage& image,
                                           const CancelCheck& cancelled) {
  watch_ = CancelWatch{};
  watch_.pub.progress_monitor = WatchCancel;
  watch_.cancelled = &cancelled;
  watch_.errors = &errors_;
  if (setjmp(errors_.jump) != 0) {
    cinfo_.progress = nullptr;
    jpeg_abort_decompress(&cinfo_);
    return watch_.seen ? RowsEnd::Cancelled : RowsEnd::Failed;
  }
  cinfo_.progress = &watch_.pub;
  jpeg_start_decompress(&cinfo_);
  while (cinfo_.output_scanline < cinfo_.output_height) {
    uint8_t* out = image.rgb.get() + std::size_t{cinfo_.output_scanline} * image.row_bytes();
    JSAMPROW target = converter.copies() ? out : row;
    jpeg_read_scanlines(&cinfo_, &target, 1);
    if (!converter.copies()) converter.Convert(row, out, image.width);
  }
  // Reads on to the end of the file, so that a cut in its last scan shows.
  jpeg_finish_decompress(&cinfo_);
  cinfo_.progress = nullptr;
  return RowsEnd::Done;
}

// Decodes the pixels, as few eighths as still cover the size asked for.
bool JpegDecoder::Decode(uint32_t min_width, uint32_t min_height, const CancelCheck& cancelled, PhotoImage& image,
                         std::string& problem) {
  problem.clear();
  // A decode leaves libjpeg at its start: the header is read once more.
  if (used_ && !ReadHeader()) {
    problem = JpegProblem(errors_, cinfo_);
    return false;
  }
  used_ = true;
  const SourcePixels pixels = *PixelsOf(cinfo_);
  const SrgbConverter converter(pixels, {icc_, icc_size_});
  if (!Scale(pixels, ScaleEighths(header_.width, header_.height, min_width, min_height))) {
    problem = JpegProblem(errors_, cinfo_);
    return false;
  }
  PhotoImage decoded;
  if (!TakePixels(cinfo_.output_width, cinfo_.output_height, decoded, problem)) return false;
  std::unique_ptr<uint8_t[]> row;
  if (!converter.copies()) {
    row = TakeBytes(uint64_t{cinfo_.output_width} * converter.source_bytes(), problem);
    if (row == nullptr) return false;
  }
  switch (ReadRows(converter, row.get(), decoded, cancelled)) {
    case RowsEnd::Cancelled:
      return false;
    case RowsEnd::Failed:
      problem = JpegProblem(errors_, cinfo_);
      return false;
    case RowsEnd::Done:
      break;
  }
  TakeHeaderFacts(header_, decoded);
  image = std::move(decoded);
  return true;
}

}  // namespace

// Reads the header of the JPEG in file.
std::unique_ptr<PhotoDecoder> OpenJpeg(std::span<const uint8_t> file, std::string& problem) {
  auto decoder = std::make_unique<JpegDecoder>(file);
  if (!decoder->Open(problem)) return nullptr;
  return decoder;
}

}  // namespace velta
