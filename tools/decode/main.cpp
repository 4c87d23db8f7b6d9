// velta-decode: reads the byte stream the printer receives, checks every
// command, prints one line per page and, with --png DIR, writes each page's
// three head data planes, an approximate colour preview of the head energies
// and the picture as printed as PNG pictures (DIR and its parents are made
// when missing).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "page_summary.h"
#include "png_file.h"
#include "printed_picture.h"
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
      "Checks a printer stream (FILE or standard input) and prints one line per page.\n"
      "  --png DIR  also write, for page N, DIR/pageN-plane0..2.png (the head energies as grey),\n"
      "             DIR/pageN-preview.png (the head energies in colour, with the row-end fade and\n"
      "             the cold-start rows) and DIR/pageN-printed.png (the picture as printed)\n",
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

// Explains the two previews, once per run after the page lines when the run
// wrote pictures: the head energies show the edge fade and the cold start.
constexpr const char* kPicturesNote =
    "note: pageN-preview.png shows head energies, with the edge fade (side stripes) and the cold-start rows "
    "(dark top rows); pageN-printed.png shows the picture as printed";

// Writes one picture of width x height pixels of `channels` bytes; false
// with a message on standard error when it cannot.
bool WritePicture(const std::string& path, const velta::DecodedPage& page, int channels,
                  const std::vector<uint8_t>& pixels) {
  std::string error;
  if (velta::WritePng(path, page.width, page.height, channels, pixels, error)) return true;
  std::fprintf(stderr, "ERROR: %s\n", error.c_str());
  return false;
}

// Writes pageN-plane0..2.png, pageN-preview.png and pageN-printed.png into
// dir; false with a message on standard error when a picture cannot be
// written.
bool WritePagePictures(const std::string& dir, int number, const velta::DecodedPage& page) {
  const std::string stem = dir + "/page" + std::to_string(number);
  for (int k = 0; k < 3; ++k) {
    if (!WritePicture(stem + "-plane" + std::to_string(k) + ".png", page, 1, velta::PlanePicture(page, k)))
      return false;
  }
  const std::span<const uint8_t, 768> table(page.high_quality ? velta::Zorv_K40_HighQuality : velta::Zorv_K40_Normal);
  return WritePicture(stem + "-preview.png", page, 3, velta::PreviewPicture(page, table)) &&
         WritePicture(stem + "-printed.png", page, 3, velta::PrintedPicture(page, table));
}

// Prints (and draws) the pages the parser has completed, counting the pages
// drawn in drawn; false when a picture could not be written.
bool ReportPages(velta::StreamParser& parser, const Arguments& args, int& number, int& drawn) {
  for (const auto& page : parser.take_pages()) {
    ++number;
    std::printf("%s\n", velta::PageSummary(number, page).c_str());
    if (args.png_dir.empty() || page.cancelled) continue;
    if (!WritePagePictures(args.png_dir, number, page)) return false;
    ++drawn;
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
  int number = 0, drawn = 0;
  bool ok = true;
  while (ok) {
    const size_t n = std::fread(chunk.data(), 1, chunk.size(), in.get());
    if (n == 0) break;
    ok = parser.feed(std::span<const uint8_t>(chunk.data(), n)) && ReportPages(parser, args, number, drawn);
  }
  if (ok && std::ferror(in.get())) {
    std::fprintf(stderr, "ERROR: cannot read %s\n", from_stdin ? "standard input" : args.input.c_str());
    return 1;
  }
  if (ok) ok = parser.finish() && ReportPages(parser, args, number, drawn);
  // Pages that ended before the fault are still worth a line.
  if (parser.fault()) {
    ReportPages(parser, args, number, drawn);
    std::fprintf(stderr, "ERROR: %s at byte %llu\n", parser.fault()->what.c_str(),
                 static_cast<unsigned long long>(parser.fault()->offset));
  }
  if (drawn > 0) std::printf("%s\n", kPicturesNote);
  std::fflush(stdout);
  return ok ? 0 : 1;
}
