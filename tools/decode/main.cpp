// velta-decode: reads the byte stream the printer receives, checks every
// command, prints one line per page and, with --png DIR, writes each page's
// three head data planes and an approximate colour preview as PNG pictures
// (DIR and its parents are made when missing).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "page_summary.h"
#include "png_file.h"
#include "render/tone_tables.h"
#include "stream_parser.h"
#include "tone_inversion.h"

namespace {

// Command line: an optional --png DIR and an optional input file.
struct Arguments {
  std::string png_dir;  // empty: no pictures
  std::string input;    // empty or "-": standard input
};

// Prints how to call the program.
void Usage() {
  std::fputs(
      "usage: velta-decode [--png DIR] [FILE]\n"
      "Checks a printer stream (FILE or standard input) and prints one line per page.\n",
      stderr);
}

// Reads argv into args (written); false on a wrong command line.
bool ParseArguments(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--png") == 0 && i + 1 < argc) {
      args.png_dir = argv[++i];
    } else if (std::strncmp(argv[i], "--", 2) == 0 || !args.input.empty()) {
      return false;
    } else {
      args.input = argv[i];
    }
  }
  return true;
}

// Writes pageN-plane0..2.png and pageN-preview.png into dir; false with a
// message on standard error when a picture cannot be written.
bool WritePagePictures(const std::string& dir, int number, const velta::DecodedPage& page) {
  const std::string stem = dir + "/page" + std::to_string(number);
  std::string error;
  for (int k = 0; k < 3; ++k) {
    if (!velta::WritePng(stem + "-plane" + std::to_string(k) + ".png", page.width, page.height, 1,
                         velta::PlanePicture(page, k), error)) {
      std::fprintf(stderr, "ERROR: %s\n", error.c_str());
      return false;
    }
  }
  const auto& table = page.high_quality ? velta::Zorv_K40_HighQuality : velta::Zorv_K40_Normal;
  if (!velta::WritePng(stem + "-preview.png", page.width, page.height, 3,
                       velta::PreviewPicture(page, std::span<const uint8_t, 768>(table)), error)) {
    std::fprintf(stderr, "ERROR: %s\n", error.c_str());
    return false;
  }
  return true;
}

// Prints (and draws) the pages the parser has completed; false when a picture
// could not be written.
bool ReportPages(velta::StreamParser& parser, const Arguments& args, int& number) {
  for (const auto& page : parser.take_pages()) {
    ++number;
    std::printf("%s\n", velta::PageSummary(number, page).c_str());
    if (!args.png_dir.empty() && !page.cancelled && !WritePagePictures(args.png_dir, number, page)) return false;
  }
  return true;
}

// Closes a FILE that is not standard input.
struct InputCloser {
  void operator()(std::FILE* f) const {
    if (f != stdin) std::fclose(f);
  }
};

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) {
    Usage();
    return 2;
  }
  if (!args.png_dir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(args.png_dir, error);
    if (error) {
      std::fprintf(stderr, "ERROR: cannot create %s: %s\n", args.png_dir.c_str(), error.message().c_str());
      return 1;
    }
  }
  const bool from_stdin = args.input.empty() || args.input == "-";
  std::unique_ptr<std::FILE, InputCloser> in(from_stdin ? stdin : std::fopen(args.input.c_str(), "rb"));
  if (!in) {
    std::fprintf(stderr, "ERROR: cannot open %s: %s\n", args.input.c_str(), std::strerror(errno));
    return 1;
  }

  // Pictures need the planes; a summary alone checks them without storing them.
  velta::StreamParser parser(!args.png_dir.empty());
  std::vector<uint8_t> chunk(1 << 16);
  int number = 0;
  bool ok = true;
  while (ok) {
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
    if (n == 0) break;
    ok = parser.feed(std::span<const uint8_t>(chunk.data(), n)) && ReportPages(parser, args, number);
  }
  if (ok && std::ferror(in.get())) {
    std::fprintf(stderr, "ERROR: cannot read %s\n", from_stdin ? "standard input" : args.input.c_str());
    return 1;
  }
  if (ok) ok = parser.finish() && ReportPages(parser, args, number);
  // Pages that ended before the fault are still worth a line.
  if (parser.fault()) {
    ReportPages(parser, args, number);
    std::fprintf(stderr, "ERROR: %s at byte %llu\n", parser.fault()->what.c_str(),
                 static_cast<unsigned long long>(parser.fault()->offset));
  }
  std::fflush(stdout);
  return ok ? 0 : 1;
}
