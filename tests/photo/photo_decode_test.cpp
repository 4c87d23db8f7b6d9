// The photo decoder on real photographs and on photos made with ImageMagick:
// pixels against ImageMagick's and djpeg's own decodes, colour profiles,
// EXIF orientation, resolution, and broken or oversized files.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "photo/icc_to_srgb.h"
#include "photo/photo_decode.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

namespace velta {
namespace {

using test::ReadFile;
using test::RunShell;
using test::TempFolder;

const std::string kPhotos = VELTA_TEST_PHOTOS;
const std::string kIcc = "/usr/share/color/icc/";

// What one decode left behind.
struct Decoded {
  bool opened = false;
  bool ok = false;
  std::string problem;
  PhotoImage image;
};

// The bytes of a file in memory, as the decoder takes them.
std::span<const uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

// Opens and decodes file; min_width/min_height as the placing asks.
Decoded Decode(const std::string& file, uint32_t min_width = 0, uint32_t min_height = 0, CancelCheck cancel = {}) {
  Decoded result;
  auto decoder = PhotoDecoder::Open(Span(file), result.problem);
  result.opened = decoder != nullptr;
  if (decoder == nullptr) return result;
  if (min_width == 0) min_width = decoder->header().width;
  if (min_height == 0) min_height = decoder->header().height;
  result.ok = decoder->Decode(min_width, min_height, cancel, result.image, result.problem);
  return result;
}

// The decoded pixels as bytes.
std::string Pixels(const PhotoImage& image) {
  return {reinterpret_cast<const char*>(image.rgb.get()), image.row_bytes() * image.height};
}

// Standard output of a shell command that must succeed.
std::string Shell(const std::string& line) {
  const auto result = RunShell(line);
  EXPECT_EQ(result.status, 0) << line << "\n" << result.err;
  return result.out;
}

// A PPM as djpeg -rgb writes it: its size and its RGB bytes.
struct Ppm {
  uint32_t width = 0, height = 0;
  std::string rgb;
};
Ppm ReadPpm(const std::string& bytes) {
  Ppm ppm;
  int used = 0;
  std::sscanf(bytes.c_str(), "P6 %u %u 255%n", &ppm.width, &ppm.height, &used);
  ppm.rgb = bytes.substr(used + 1);
  return ppm;
}

// Mean absolute difference and PSNR in dB of two pixel strings (255 and 0
// when their sizes differ).
struct Closeness {
  double mean_abs = 0, psnr = 0;
};
Closeness Compare(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return {255, 0};
  double abs_sum = 0, square_sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(uint8_t(a[i])) - uint8_t(b[i]);
    abs_sum += std::abs(d);
    square_sum += d * d;
  }
  const double mse = square_sum / a.size();
  return {abs_sum / a.size(), mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse)};
}

// A big-endian 16- or 32-bit number written at bytes[at].
void Put(std::string& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = char(value >> (8 * (size - 1 - i)));
}

// A PNG chunk with its length and CRC.
std::string PngChunk(const std::string& type, const std::string& body) {
  std::string chunk(4, '\0');
  Put(chunk, 0, body.size(), 4);
  chunk += type + body + "0000";
  const auto* crc_start = reinterpret_cast<const Bytef*>(chunk.data() + 4);
  Put(chunk, chunk.size() - 4, crc32(0, crc_start, type.size() + body.size()), 4);
  return chunk;
}

// A PNG with its IHDR's size replaced (and its CRC made right again).
std::string WithPngSize(const std::string& png, uint32_t width, uint32_t height) {
  std::string body = png.substr(16, 13);
  Put(body, 0, width, 4);
  Put(body, 4, height, 4);
  return png.substr(0, 8) + PngChunk("IHDR", body) + png.substr(33);
}

// The offset of a JPEG's frame header (SOF0 or SOF2) marker.
size_t FrameHeader(const std::string& jpeg) {
  const size_t baseline = jpeg.find("\xFF\xC0"), progressive = jpeg.find("\xFF\xC2");
  return std::min(baseline, progressive);
}

// A bare TIFF block with one IFD holding only the Orientation tag (a SHORT).
std::string OrientationTiff(uint8_t value, bool big_endian) {
  using namespace std::string_literals;
  if (big_endian) return "MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0"s + char(value) + "\0\0\0\0\0\0"s;
  return "II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0"s + char(value) + "\0\0\0\0\0\0\0"s;
}

// A JPEG with an APP1 EXIF segment put in after its start marker.
std::string WithExif(const std::string& jpeg, const std::string& tiff) {
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  std::string segment = "\xFF\xE1..";
  Put(segment, 2, body.size() + 2, 2);
  return jpeg.substr(0, 2) + segment + body + jpeg.substr(2);
}

class PhotoDecodeTest : public testing::Test {
 protected:
  // Runs ImageMagick's convert with arguments ARGS, writing OUT in the folder.
  std::string Make(const std::string& args, const std::string& out) {
    Shell("convert " + args + " " + folder_.File(out));
    return ReadFile(folder_.File(out));
  }
  std::string File(const std::string& name) const { return folder_.File(name); }

  TempFolder folder_{"photo-decode"};
};

TEST_F(PhotoDecodeTest, RealPngsDecodeAsImageMagickDoes) {
  // astronaut and chelsea carry an sRGB profile of their own, which is set
  // aside; coffee carries none. So is another sRGB profile on a picture of
  // 64 levels of every colour, which Little CMS would move by one here and
  // there.
  Shell("convert hald:8 -depth 8 -profile " + kIcc + "sRGB.icc -units PixelsPerInch -density 300 " + File("cube.png"));
  const struct {
    std::string path;
    double dots_a_metre;  // their pHYs
  } photos[] = {{kPhotos + "/coffee.png", 3780},
                {kPhotos + "/astronaut.png", 11811},
                {kPhotos + "/chelsea.png", 2835},
                {File("cube.png"), 11811}};
  for (const auto& [path, dots_a_metre] : photos) {
    const Decoded decoded = Decode(ReadFile(path));
    ASSERT_TRUE(decoded.ok) << path << ": " << decoded.problem;
    const std::string expected = Shell("convert " + path + " -depth 8 rgb:-");
    EXPECT_EQ(Compare(Pixels(decoded.image), expected).mean_abs, 0) << path;
    EXPECT_DOUBLE_EQ(decoded.image.dpi_x, dots_a_metre * 0.0254) << path;
    EXPECT_DOUBLE_EQ(decoded.image.dpi_y, dots_a_metre * 0.0254) << path;
    EXPECT_EQ(decoded.image.stored_width, decoded.image.width) << path;
  }
}

TEST_F(PhotoDecodeTest, JpegsDecodeAsDjpegDoesAtEveryScale) {
  const std::string coffee = kPhotos + "/coffee.png", chelsea = kPhotos + "/chelsea.png";
  Make(coffee + " -strip -quality 90", "baseline.jpg");
  Make(chelsea + " -strip -interlace JPEG", "progressive.jpg");
  Make(kPhotos + "/astronaut.png -strip -colorspace Gray", "grey.jpg");
  Shell("convert " + coffee + " ppm:- | cjpeg -arithmetic -outfile " + File("arithmetic.jpg"));
  // A profile Little CMS cannot read is set aside: the pixels are taken as sRGB.
  std::string tagged = Make(coffee + " -strip -profile " + kIcc + "compatibleWithAdobeRGB1998.icc", "tagged.jpg");
  tagged.replace(tagged.find("acsp"), 4, "xxxx");
  test::WriteFile(File("unreadable-profile.jpg"), tagged);
  struct Case {
    const char* file;
    uint32_t min_width, min_height;  // what the placing asks for
    int eighths;                     // the DCT scaling that must be chosen
  } cases[] = {
      {"baseline.jpg", 600, 400, 8}, {"baseline.jpg", 300, 200, 4},    {"baseline.jpg", 301, 200, 5},
      {"baseline.jpg", 10, 251, 6},  {"baseline.jpg", 1, 1, 1},        {"baseline.jpg", 9000, 9000, 8},
      {"progressive.jpg", 0, 0, 8},  {"progressive.jpg", 160, 100, 3}, {"grey.jpg", 0, 0, 8},
      {"grey.jpg", 256, 256, 4},     {"arithmetic.jpg", 0, 0, 8},      {"unreadable-profile.jpg", 0, 0, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.eighths) + "/8");
    const Decoded decoded = Decode(ReadFile(File(c.file)), c.min_width, c.min_height);
    ASSERT_TRUE(decoded.ok) << decoded.problem;
    const Ppm expected = ReadPpm(Shell("djpeg -rgb -scale " + std::to_string(c.eighths) + "/8 " + File(c.file)));
    EXPECT_EQ(decoded.image.width, expected.width);
    EXPECT_EQ(decoded.image.height, expected.height);
    EXPECT_EQ(Compare(Pixels(decoded.image), expected.rgb).mean_abs, 0);
    EXPECT_EQ((decoded.image.stored_width * c.eighths + 7) / 8, decoded.image.width);
  }
}

TEST_F(PhotoDecodeTest, ColourProfilesAndCmykComeOutAsSrgb) {
  const std::string coffee = kPhotos + "/coffee.png";
  const std::string srgb = Shell("convert " + coffee + " -depth 8 rgb:-");
  const std::string to_adobe =
      coffee + " -profile " + kIcc + "sRGB.icc -profile " + kIcc + "compatibleWithAdobeRGB1998.icc";
  const std::string lstar = coffee + " -colorspace Gray -profile " + kIcc + "Gray-CIE_L.icc";
  // ImageMagick converts with the same intent and black point compensation,
  // at 16 bits, hence not exactly.
  const auto made = [&](const std::string& args, const std::string& name) {
    Make(args, name);
    return name;
  };
  const auto imagemagick = [&](const std::string& file) {
    return Shell("convert " + File(file) + " -black-point-compensation -profile " + kIcc + "sRGB.icc -depth 8 rgb:-");
  };
  struct Case {
    std::string file, expected;  // made in this order
    double most_mean_abs, least_psnr;
  } cases[] = {
      // Adobe RGB photos made from coffee come back to coffee.
      {made(to_adobe, "adobe.png"), srgb, 1, 45},
      {made(to_adobe + " -quality 98 -sampling-factor 1x1", "adobe.jpg"), srgb, 2, 40},
      // ImageMagick writes CMYK inverted, with Adobe's marker.
      {made(coffee + " -quality 98 -colorspace CMYK", "cmyk.jpg"), srgb, 2, 40},
      {made(coffee + " -profile " + kIcc + "sRGB.icc -profile " + kIcc + "ghostscript/default_cmyk.icc -quality 98",
            "press.jpg"),
       imagemagick("press.jpg"), 1, 40},
      // Grey photos labelled as CIE L*, whose greys are not sRGB's.
      {made(lstar, "lstar.png"), imagemagick("lstar.png"), 1, 45},
      {made(lstar + " -quality 98", "lstar.jpg"), imagemagick("lstar.jpg"), 1, 45},
  };
  for (const Case& c : cases) {
    const Decoded decoded = Decode(ReadFile(File(c.file)));
    ASSERT_TRUE(decoded.ok) << c.file << ": " << decoded.problem;
    const Closeness closeness = Compare(Pixels(decoded.image), c.expected);
    EXPECT_LT(closeness.mean_abs, c.most_mean_abs) << c.file;
    EXPECT_GT(closeness.psnr, c.least_psnr) << c.file;
    // The profile matters: the bare samples would be far off.
    if (c.file != "cmyk.jpg") {
      const std::string bare = Shell("convert " + File(c.file) + " +profile '*' -colorspace sRGB -depth 8 rgb:-");
      EXPECT_GT(Compare(bare, c.expected).mean_abs, 5) << c.file;
    }
  }
  EXPECT_NE(ReadFile(File("cmyk.jpg")).find("Adobe"), std::string::npos);
}

TEST_F(PhotoDecodeTest, EveryKindOfPngDecodesAsImageMagickDoes) {
  Shell("convert " + kPhotos + "/coffee.png -crop 160x120+300+150 +repage -strip " + File("base.png"));
  Shell("convert " + File("base.png") + " \\( -size 160x120 gradient:white-black \\) -alpha off -compose CopyOpacity " +
        "-composite " + File("alpha.png"));
  const std::string grey = File("base.png") + " -colorspace Gray -define png:color-type=0";
  // -evaluate gives samples that use all 16 bits, so that rounding to 8 shows.
  const std::string deep = " -evaluate multiply 0.93 -depth 16";
  struct Case {
    std::string name, args;
    int colour_type, bit_depth, interlaced;  // what the file must turn out to be
    bool transparent;
  } cases[] = {
      {"grey 1-bit", grey + " -depth 1 -define png:bit-depth=1", 0, 1, 0, false},
      {"grey 2-bit", grey + " -depth 2 -define png:bit-depth=2", 0, 2, 0, false},
      {"grey 4-bit interlaced", grey + " -depth 4 -define png:bit-depth=4 -interlace PNG", 0, 4, 1, false},
      {"grey 8-bit", grey, 0, 8, 0, false},
      {"grey 16-bit", grey + deep, 0, 16, 0, false},
      {"grey with a transparent grey", grey + " -fuzz 5% -transparent 'rgb(128,128,128)'", 0, 8, 0, true},
      {"palette", File("base.png") + " -colors 64 -define png:color-type=3", 3, 8, 0, false},
      {"palette with alpha", File("alpha.png") + " -colors 64 -define png:format=png8", 3, 8, 0, true},
      {"RGB 16-bit", File("base.png") + deep + " -define png:color-type=2", 2, 16, 0, false},
      {"RGB interlaced", File("base.png") + " -define png:color-type=2 -interlace PNG", 2, 8, 1, false},
      {"grey + alpha", File("alpha.png") + " -colorspace Gray -define png:color-type=4", 4, 8, 0, true},
      {"grey + alpha 16-bit", File("alpha.png") + " -colorspace Gray -depth 16 -define png:color-type=4", 4, 16, 0,
       true},
      {"RGBA", File("alpha.png") + " -define png:color-type=6", 6, 8, 0, true},
      {"RGBA 16-bit interlaced", File("alpha.png") + deep + " -define png:color-type=6 -interlace PNG", 6, 16, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = Make(c.args, "case.png");
    ASSERT_EQ(std::vector<int>({file[25], file[24], file[28]}),
              std::vector<int>({c.colour_type, c.bit_depth, c.interlaced}));
    ASSERT_EQ(c.transparent, file.find("tRNS") != std::string::npos || c.colour_type >= 4);
    const Decoded decoded = Decode(file);
    ASSERT_TRUE(decoded.ok) << decoded.problem;
    // ImageMagick's samples laid over white at 16 bits, then rounded to 8,
    // in floating point (an 8-bit sample v reads as 257 v).
    std::string expected;
    const std::string rgba = Shell("convert " + File("case.png") + " -depth 16 -endian MSB rgba:-");
    const auto sample = [&](size_t i) { return (uint8_t(rgba[2 * i]) << 8 | uint8_t(rgba[2 * i + 1])) / 65535.0; };
    for (size_t pixel = 0; pixel < rgba.size() / 8; ++pixel) {
      const double alpha = sample(pixel * 4 + 3);
      for (size_t c = 0; c < 3; ++c) {
        const double over_white = std::round((sample(pixel * 4 + c) * alpha + 1 - alpha) * 65535);
        expected += char(std::lround(over_white / 257));
      }
    }
    EXPECT_EQ(Compare(Pixels(decoded.image), expected).mean_abs, 0);
  }
}

TEST_F(PhotoDecodeTest, OrientationFromExif) {
  const std::string jpeg = Make(kPhotos + "/chelsea.png -strip -resize 40x30", "small.jpg");
  const std::string png = ReadFile(kPhotos + "/chelsea.png");
  const auto png_with = [&](const std::string& tiff) {
    return png.substr(0, 33) + PngChunk("eXIf", tiff) + png.substr(33);
  };
  // Both byte orders, values outside 1 to 8, and a PNG's eXIf chunk...
  std::vector<std::pair<std::string, int>> cases = {
      {WithExif(jpeg, OrientationTiff(6, false)), 6}, {WithExif(jpeg, OrientationTiff(0, true)), 1},
      {WithExif(jpeg, OrientationTiff(9, false)), 1}, {png_with(OrientationTiff(8, true)), 8},
      {png_with(OrientationTiff(6, false)), 6},
  };
  // ...and each value as ImageMagick sets it in an EXIF block that is there.
  test::WriteFile(File("exif.jpg"), WithExif(jpeg, OrientationTiff(1, true)));
  int value = 1;
  for (const char* name :
       {"TopLeft", "TopRight", "BottomRight", "BottomLeft", "LeftTop", "RightTop", "RightBottom", "LeftBottom"}) {
    cases.emplace_back(Make(File("exif.jpg") + " -orient " + name, "turned.jpg"), value++);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const Decoded decoded = Decode(cases[i].first);
    ASSERT_TRUE(decoded.ok) << "case " << i << ": " << decoded.problem;
    EXPECT_EQ(decoded.image.exif_orientation, cases[i].second) << "case " << i;
  }
}

TEST_F(PhotoDecodeTest, ResolutionTheFileStates) {
  const std::string base = kPhotos + "/chelsea.png -resize 40x30";  // -strip would drop a PNG's pHYs
  std::string no_units = Make(base + " -units PixelsPerInch -density 300", "no-units.jpg");
  no_units[13] = 0;  // JFIF's units byte: 0 gives the pixels' aspect only
  struct Case {
    std::string name, file;
    double dpi_x, dpi_y;
  } cases[] = {
      {"JPEG per inch", Make(base + " -units PixelsPerInch -density 300x200", "inch.jpg"), 300, 200},
      {"JPEG per cm", Make(base + " -units PixelsPerCentimeter -density 118", "cm.jpg"), 118 * 2.54, 118 * 2.54},
      {"JPEG aspect only", no_units, 0, 0},
      {"PNG per metre", Make(base + " -units PixelsPerInch -density 300", "inch.png"), 11811 * 0.0254, 11811 * 0.0254},
      {"PNG without pHYs", Make(base + " -strip", "none.png"), 0, 0},
  };
  for (const Case& c : cases) {
    const Decoded decoded = Decode(c.file);
    ASSERT_TRUE(decoded.ok) << c.name << ": " << decoded.problem;
    EXPECT_DOUBLE_EQ(decoded.image.dpi_x, c.dpi_x) << c.name;
    EXPECT_DOUBLE_EQ(decoded.image.dpi_y, c.dpi_y) << c.name;
  }
}

TEST_F(PhotoDecodeTest, BrokenAndOversizedFilesAreRefusedWithASentence) {
  const std::string jpeg = Make(kPhotos + "/coffee.png -strip", "coffee.jpg");
  const std::string png = ReadFile(kPhotos + "/coffee.png");
  const size_t sof = FrameHeader(jpeg);  // then length (2), precision (1), height (2), width (2)
  const auto jpeg_with = [&](size_t at, uint32_t value, int size) {
    std::string changed = jpeg;
    Put(changed, sof + at, value, size);
    return changed;
  };
  const size_t idat = png.find("IDAT");
  std::string bad_idat = png, bad_crc = png;
  bad_idat[idat + 1000] ^= 0x55;
  bad_crc[idat + 4 + (uint8_t(png[idat - 2]) << 8 | uint8_t(png[idat - 1]))] ^= 0x55;
  std::string bad_scan = jpeg;
  for (size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 64; ++i) bad_scan[i] = char(i * 37);
  struct Case {
    std::string name, file;
    bool opens;  // whether the header passes and the pixels fail
    std::string problem;
  } cases[] = {
      {"text", "This is not a photo.\n", false, "The photo is not a JPEG or PNG file."},
      {"empty", "", false, "The photo file is empty."},
      {"JPEG cut in half", jpeg.substr(0, jpeg.size() / 2), true, "The JPEG file is truncated."},
      {"JPEG cut in its header", jpeg.substr(0, sof + 4), false, "The JPEG file is truncated."},
      {"JPEG without its end", jpeg.substr(0, jpeg.size() - 2), true, "The JPEG file is truncated."},
      {"JPEG scrambled", bad_scan, true, "The JPEG file is corrupt: "},
      {"JPEG 600 x 0", jpeg_with(5, 0, 2), false, "The photo is 600 x 0 pixels."},
      {"JPEG 60000 x 60000", jpeg_with(5, 60000u * 65536 + 60000, 4), false,
       "The photo has 60000 x 60000 pixels, more than the 100000000 this printer takes."},
      {"JPEG 12-bit", jpeg_with(4, 12, 1), false,
       "The JPEG file has 12-bit samples; only 8-bit JPEG photos can be decoded."},
      {"PNG cut in half", png.substr(0, png.size() / 2), true, "The PNG file is truncated."},
      {"PNG without IEND", png.substr(0, png.size() - 12), true, "The PNG file is truncated."},
      {"PNG cut in its header", png.substr(0, 30), false, "The PNG file is truncated."},
      {"PNG with a changed byte", bad_idat, true, "The PNG file is corrupt: IDAT: "},
      {"PNG with a wrong CRC", bad_crc, true, "The PNG file is corrupt: IDAT: CRC error."},
      {"PNG 0 x 0", WithPngSize(png, 0, 0), false, "The photo is 0 x 0 pixels."},
      {"PNG 60000 x 60000", WithPngSize(png, 60000, 60000), false,
       "The photo has 60000 x 60000 pixels, more than the 100000000 this printer takes."},
      {"PNG 70000 x 10", WithPngSize(png, 70000, 10), false,
       "The photo has 70000 x 10 pixels, a side longer than the 65535 this printer takes."},
  };
  for (const Case& c : cases) {
    const Decoded decoded = Decode(c.file);
    EXPECT_EQ(decoded.opened, c.opens) << c.name;
    EXPECT_FALSE(decoded.ok) << c.name;
    EXPECT_EQ(decoded.problem.substr(0, c.problem.size()), c.problem) << c.name << ": " << decoded.problem;
    EXPECT_EQ(decoded.problem.back(), '.') << c.name;
  }
}

// Cancels at the polls-th question.
bool CancelAfter(void* polls) { return --*static_cast<int*>(polls) < 0; }

TEST_F(PhotoDecodeTest, CancelledDecodeStopsWithoutAProblemAndCanBeRedone) {
  const std::string coffee = kPhotos + "/coffee.png";
  const std::string files[] = {Make(coffee, "baseline.jpg"), Make(coffee + " -interlace JPEG", "progressive.jpg"),
                               ReadFile(coffee), Make(coffee + " -interlace PNG", "interlaced.png")};
  for (const std::string& file : files) {
    for (int polls : {0, 3}) {
      std::string problem;
      auto decoder = PhotoDecoder::Open(Span(file), problem);
      ASSERT_NE(decoder, nullptr) << problem;
      int left = polls;
      PhotoImage image;
      EXPECT_FALSE(decoder->Decode(600, 400, {CancelAfter, &left}, image, problem));
      EXPECT_EQ(problem, "");
      EXPECT_EQ(image.rgb, nullptr);
      // The same decoder decodes whole afterwards, as a fresh one does.
      ASSERT_TRUE(decoder->Decode(600, 400, {}, image, problem)) << problem;
      EXPECT_EQ(Pixels(image), Pixels(Decode(file).image));
    }
  }
}

TEST(SrgbConverterTest, CmykWithoutAProfile) {
  // No ink, black alone, half cyan: as stored plainly and inverted.
  const uint8_t plain[] = {0, 0, 0, 0, 0, 0, 0, 255, 128, 0, 0, 0};
  uint8_t inverted[sizeof plain];
  for (size_t i = 0; i < sizeof plain; ++i) inverted[i] = 255 - plain[i];
  const std::vector<uint8_t> expected = {255, 255, 255, 0, 0, 0, 127, 255, 255};
  for (const auto& [pixels, cmyk] : {std::pair{SourcePixels::Cmyk, plain}, {SourcePixels::InvertedCmyk, inverted}}) {
    const SrgbConverter converter(pixels, {});
    std::vector<uint8_t> rgb(9);
    converter.Convert(cmyk, rgb.data(), 3);
    EXPECT_EQ(rgb, expected);
  }
}

}  // namespace
}  // namespace velta
