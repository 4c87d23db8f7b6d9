// Writes the seed corpora of the fuzz targets into a folder: small rasters of
// every raster version in both byte orders, option strings, PPD texts and
// printer streams.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <cups/raster.h>

#include "pipeline/command_stream.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

// Where the 32-bit fields of a page header begin, and how many the reader swaps.
constexpr std::size_t kFirstNumberField = 256;
constexpr std::size_t kSwappedFields = 81;

// Appends what cupsRasterOpenIO writes to the string it is given.
ssize_t AppendTo(void* context, unsigned char* buffer, size_t length) {
  static_cast<Bytes*>(context)->append(reinterpret_cast<char*>(buffer), length);
  return static_cast<ssize_t>(length);
}

// One RGB page of width x height with a diagonal pattern, as libcups writes it
// in mode: uncompressed (version 3) or compressed (version 2).
Bytes OnePage(cups_mode_t mode, unsigned width, unsigned height, unsigned copies) {
  Bytes stream;
  cups_raster_t* ras = cupsRasterOpenIO(AppendTo, &stream, mode);
  cups_page_header2_t header{};
  header.HWResolution[0] = header.HWResolution[1] = 300;
  header.cupsWidth = width;
  header.cupsHeight = height;
  header.cupsBitsPerColor = 8;
  header.cupsBitsPerPixel = 24;
  header.cupsBytesPerLine = width * 3;
  header.cupsColorSpace = CUPS_CSPACE_RGB;
  header.cupsColorOrder = CUPS_ORDER_CHUNKED;
  header.NumCopies = copies;
  cupsRasterWriteHeader2(ras, &header);
  std::vector<unsigned char> row(width * 3);
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned i = 0; i < row.size(); ++i) row[i] = static_cast<unsigned char>((i + 7 * y) * 13);
    cupsRasterWritePixels(ras, row.data(), static_cast<unsigned>(row.size()));
  }
  cupsRasterClose(ras);
  return stream;
}

// Reverses the byte order of the numbers in the page header of header_size bytes at offset.
void SwapHeader(Bytes& stream, std::size_t offset, std::size_t header_size) {
  const std::size_t fields = std::min(kSwappedFields, (header_size - kFirstNumberField) / 4);
  for (std::size_t i = 0; i < fields; ++i) {
    char* field = stream.data() + offset + kFirstNumberField + 4 * i;
    std::swap(field[0], field[3]);
    std::swap(field[1], field[2]);
  }
}

// A stream of pages in one raster version (1, 2 or 3), native or swapped.
// Versions 1 and 3 differ in their sync word and in the header, which version 1
// ends after the fields of cups_page_header_t.
Bytes Raster(int version, bool swapped, const std::vector<std::array<unsigned, 3>>& pages) {
  const cups_mode_t mode = version == 2 ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE;
  // The sync word is a 32-bit number: on this little-endian machine its text
  // comes out backwards, and a stream from a big-endian writer has it forwards.
  const std::string sync = version == 1 ? "RaSt" : version == 2 ? "RaS2" : "RaS3";
  Bytes stream = swapped ? sync : Bytes(sync.rbegin(), sync.rend());
  for (const auto& [width, height, copies] : pages) {
    const std::size_t header_at = stream.size();
    const Bytes written = OnePage(mode, width, height, copies).substr(4);
    const std::size_t header_size = version == 1 ? sizeof(cups_page_header_t) : sizeof(cups_page_header2_t);
    stream += written.substr(0, header_size) + written.substr(sizeof(cups_page_header2_t));
    if (swapped) SwapHeader(stream, header_at, header_size);
  }
  return stream;
}

// Checks that libcups reads the raster back with the widths it was made with.
void CheckReadsBack(const Bytes& stream, const std::vector<std::array<unsigned, 3>>& pages) {
  std::size_t at = 0;
  auto read = [](void* context, unsigned char* buffer, size_t length) -> ssize_t {
    auto& [bytes, offset] = *static_cast<std::pair<const Bytes*, std::size_t*>*>(context);
    const std::size_t count = std::min(length, bytes->size() - *offset);
    std::memcpy(buffer, bytes->data() + *offset, count);
    *offset += count;
    return static_cast<ssize_t>(count);
  };
  std::pair<const Bytes*, std::size_t*> context{&stream, &at};
  cups_raster_t* ras = cupsRasterOpenIO(read, &context, CUPS_RASTER_READ);
  cups_page_header2_t header;
  for (const auto& page : pages) {
    if (ras == nullptr || !cupsRasterReadHeader2(ras, &header) || header.cupsWidth != page[0] ||
        header.cupsHeight != page[1] || header.NumCopies != page[2]) {
      std::fprintf(stderr, "make_seeds: a raster (%.4s) does not read back\n", stream.c_str());
      std::exit(1);
    }
    std::vector<unsigned char> row(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y) cupsRasterReadPixels(ras, row.data(), header.cupsBytesPerLine);
  }
  cupsRasterClose(ras);
}

// A PPD with the eleven options, each with the given default choices.
Bytes PpdText(const std::vector<std::pair<std::string, std::string>>& defaults) {
  Bytes text =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"VELTA.PPD\"\n"
      "*Manufacturer: \"Velta\"\n*Product: \"(K40)\"\n*ModelName: \"Velta K40\"\n"
      "*NickName: \"Velta K40\"\n*ShortNickName: \"Velta K40\"\n";
  for (const auto& [keyword, choice] : defaults)
    text += "*OpenUI *" + keyword + "/" + keyword + ": PickOne\n*Default" + keyword + ": " + choice + "\n*" + keyword +
            " " + choice + "/" + choice + ": \"\"\n*CloseUI: *" + keyword + "\n";
  return text;
}

// Writes bytes to folder/name.
void Save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  std::FILE* file = std::fopen((folder / name).c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::exit(1);
  std::fclose(file);
}

// A byte of a fuzz input.
Bytes Byte(unsigned value) { return Bytes(1, static_cast<char>(value)); }

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const fs::path root = argv[1];
  const std::vector<std::pair<std::string, std::string>> ppd_defaults = {
      {"stpBrightness", "10"}, {"stpContrast", "-5"},   {"stpSaturation", "3"}, {"stpResize", "20"},
      {"stpSharpness", "2"},   {"stpRed", "4"},         {"stpGreen", "-4"},     {"stpBlue", "1"},
      {"DirectMap", "true"},   {"Monochrome", "false"}, {"PrintMode", "true"}};
  const Bytes ppd = PpdText(ppd_defaults);
  const Bytes options[] = {
      "",
      "stpBrightness=20 stpContrast=-10 stpSaturation=5 stpResize=30 stpSharpness=4 stpRed=3 "
      "stpGreen=-3 stpBlue=2 DirectMap=true Monochrome=false PrintMode=true",
      "stpResize=-40 Monochrome=true stpSharpness=-2147483648 stpBlue=99999999999",
      "stpResize=12abc DirectMap=True PrintMode=yes 'stpRed=7'",
  };

  // Print job: every raster version in both byte orders, each option string, each PPD choice.
  const std::vector<std::array<unsigned, 3>> pages = {{12, 9, 1}, {5, 130, 2}};
  int n = 0;
  for (int version = 1; version <= 3; ++version)
    for (bool swapped : {false, true}) {
      const Bytes raster = Raster(version, swapped, pages);
      CheckReadsBack(raster, pages);
      for (unsigned control : {0u, 1u, 2u, 4u | 1u, 8u | 1u}) {
        const Bytes& option_text = options[n % 4];
        Bytes input = Byte(control) + Byte(0x40 + n * 97 % 256) + Byte(n % 8) + option_text + Byte(0);
        if ((control & 3) == 2) input += ppd + Byte(0);
        Save(root / "print_job",
             "raster-v" + std::to_string(version) + (swapped ? "-swapped-" : "-") + std::to_string(++n),
             input + raster);
      }
    }

  // Option resolution: each option string against the PPD.
  for (std::size_t i = 0; i < std::size(options); ++i)
    Save(root / "print_options", "options-" + std::to_string(i), options[i] + Byte(0) + ppd);

  // Stream parser: one page, a tall page flag, a cancelled page, two pages.
  const auto page = [](uint32_t w, uint32_t h, uint32_t copies, int32_t hq, int SpaceFlag) {
    const auto setup = velta::BuildPageSetup(copies, w, h, hq);
    const auto data = velta::BuildSendDataHeader(w, h);
    const auto closing = velta::BuildPageClosing(SpaceFlag);
    Bytes bytes(setup.begin(), setup.end());
    bytes.append(data.begin(), data.end());
    for (uint32_t i = 0; i < w * h * 3; ++i) bytes += static_cast<char>(i * 31);
    return bytes.append(closing.begin(), closing.end());
  };
  const auto cancelled = [] {
    const auto setup = velta::BuildPageSetup(1, 4, 4, 0);
    const auto closing = velta::BuildPageClosing(1);
    return Bytes(setup.begin(), setup.end()).append(closing.begin(), closing.end());
  };
  Save(root / "stream_parser", "one-page", Byte(5) + page(4, 3, 2, 0, 1));
  Save(root / "stream_parser", "high-quality", Byte(64) + page(3, 5, 150, 1, 0));
  Save(root / "stream_parser", "cancelled", Byte(1) + cancelled());
  Save(root / "stream_parser", "two-pages", Byte(17) + page(2, 2, 1, 0, 1) + page(1, 6, 99, 1, 1));
  std::printf("seeds written to %s\n", root.c_str());
  return 0;
}
