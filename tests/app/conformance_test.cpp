// CUPS's IPP conformance files, as cups-ipp-utils installs them, against the
// application: ipp-everywhere.test, which runs ipp-2.0.test, which runs
// ipp-1.1.test.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <thread>

#include "tests/app/app_server.h"
#include "tests/app/test_documents.h"
#include "tests/support/raster.h"

namespace velta::apptest {
namespace {

constexpr const char* kTestFolder = "/usr/share/cups/ipptool";

// Makes every folder on the way to path.
void MakeParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    mkdir(path.substr(0, slash).c_str(), 0755);
}

// Writes a raster of `pages` pages of width x height at 300 dpi, a picture band on a white page.
bool WriteSample(const std::string& path, uint32_t width, uint32_t height, int pages) {
  std::vector<test::RasterPage> sheets(static_cast<std::size_t>(pages));
  for (test::RasterPage& sheet : sheets) {
    sheet.width = width;
    sheet.height = height;
    sheet.first_picture_row = height / 3;
    sheet.end_picture_row = height / 3 + 200;
  }
  MakeParents(path);
  return test::WritePwgRaster(path, sheets.data(), pages);
}

// Lays out the documents the files print, in folder. ipptool reads every
// FILE a file names while it reads the file, even for tests it then skips, so
// each gets at least an empty stand-in; those this printer's tests really
// send (PDF, JPEG, 300 dpi sRGB rasters) are real documents of their kind.
bool WriteDocuments(const std::string& folder) {
  for (const char* name : {"ipp-1.1.test", "ipp-everywhere.test"}) {
    std::ifstream test(std::string(kTestFolder) + "/" + name);
    for (std::string line; std::getline(test, line);) {
      std::istringstream words(line);
      std::string directive, file;
      // A file named by a variable ($filename) is the one given with -f.
      if (!(words >> directive >> file) || directive != "FILE" || file[0] == '$') continue;
      MakeParents(folder + "/" + file);
      std::ofstream(folder + "/" + file, std::ios::app);
    }
  }
  const std::string raster = folder + "/pwg-raster-samples-300dpi/srgb-8/";
  return WritePdf(folder + "/document-a4.pdf", 2, 595, 842) && WritePdf(folder + "/document-letter.pdf", 2, 612, 792) &&
         RunShell("cd '" + folder + "' && convert '" VELTA_SAMPLE_PHOTO "' -resize 600x600 color.jpg && " +
                  "convert color.jpg -colorspace Gray gray.jpg")
                 .status == 0 &&
         WriteSample(raster + "color.jpg-4x6-srgb-8-300dpi.pwg", 1200, 1800, 1) &&
         WriteSample(raster + "document-a4-srgb-8-300dpi.pwg", 2480, 3508, 2) &&
         WriteSample(raster + "document-letter-srgb-8-300dpi.pwg", 2550, 3300, 2) &&
         WriteSample(raster + "onepage-a4-srgb-8-300dpi.pwg", 2480, 3508, 1) &&
         WriteSample(raster + "onepage-letter-srgb-8-300dpi.pwg", 2550, 3300, 1);
}

// The names of the tests an ipptool run reports as failed.
std::set<std::string> FailedTests(const std::string& output) {
  std::set<std::string> failed;
  std::istringstream lines(output);
  const std::string fail = "[FAIL]";
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < fail.size() || line.compare(line.size() - fail.size(), fail.size(), fail) != 0) continue;
    const std::size_t begin = line.find_first_not_of(' ');
    const std::size_t end = line.find_last_not_of(' ', line.size() - fail.size() - 1);
    failed.insert(line.substr(begin, end + 1 - begin));
  }
  return failed;
}

TEST(ConformanceTest, CupsConformanceFilesFindNoFaultOfTheApplication) {
  AppServer server(VELTA_APP_BINARY);
  ASSERT_TRUE(server.running());
  ASSERT_TRUE(server.AddPrinter("velta"));
  // The files want printer-up-time above 0, in whole seconds.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const std::string documents = server.folder() + "/documents";
  ASSERT_TRUE(WriteDocuments(documents));

  const test::ProcessResult run =
      RunShell("cd '" + documents + "' && ipptool -T 60 -t -f color.jpg " + server.PrinterUri("velta") + " " +
               kTestFolder + "/ipp-everywhere.test 2>&1");
  const std::string& out = run.out;
  // ipptool sums up only the outermost file; these count all three.
  const char* const results[] = {"[PASS]", "[FAIL]", "[SKIP]"};
  std::size_t counts[3] = {};
  for (const std::string& line : test::Lines(out))
    for (int i = 0; i < 3; ++i)
      if (line.find(results[i]) != std::string::npos) ++counts[i];
  std::printf("ipp-1.1, ipp-2.0 and ipp-everywhere: %zu passed, %zu failed, %zu skipped\n", counts[0], counts[1],
              counts[2]);
  for (const char* file : {"ipp-1.1.test", "ipp-2.0.test", "ipp-everywhere.test"})
    EXPECT_NE(out.find(std::string(kTestFolder) + "/" + file + "\":"), std::string::npos) << file << " did not run";
  EXPECT_NE(out.find("Required Operations and Attributes"), std::string::npos) << out;
  EXPECT_NE(out.find("Print-Job with A4 PDF"), std::string::npos) << "the PDF tests did not run";
  EXPECT_EQ(out.find("cannot be read"), std::string::npos) << out;
  // PAPPL 1.3.1 lists a held job's job-state-reasons only up to
  // warnings-detected, so the Print-Job response of a job held with
  // job-hold-until has none; nothing the application sets reaches that
  // response. Every other test must pass.
  const std::set<std::string> expected = {"Print-Job with job-hold-until"};
  EXPECT_EQ(FailedTests(out), expected) << out;
  const std::string log = server.Log();
  EXPECT_TRUE(WaitForPort(server.port(), 2000)) << "the application went down; its log ends:\n"
                                                << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
}

}  // namespace
}  // namespace velta::apptest
