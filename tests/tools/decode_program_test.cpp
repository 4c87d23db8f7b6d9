// velta-decode as a user runs it: summary lines, errors with offsets, pictures.
#include <gtest/gtest.h>

#include <filesystem>

#include "hand_stream.h"
#include "png_file.h"
#include "tests/support/process.h"
#include "tests/support/files.h"

#ifdef VELTA_DECODE_PROGRAM

namespace velta {
namespace {

using test::HandPage;
using test::HandStream;

// velta-decode with the given arguments; standard error goes to err_path.
test::ProcessResult Decode(const std::string& arguments, const std::string& err_path) {
  return test::RunShell(std::string(VELTA_DECODE_PROGRAM) + " " + arguments + " 2>" + err_path);
}

TEST(VeltaDecode, PrintsOneLinePerPageFromAFileOrStandardInput) {
  test::TempFolder dir;
  const std::string stream = dir.path() + "/job.prn", err = dir.path() + "/err.txt";
  ASSERT_TRUE(test::WriteFile(stream, HandStream({{.width = 4, .height = 2, .copies = 2},
                                                  {.width = 1, .height = 2492, .high_quality = true, .SpaceFlag = 0},
                                                  {.cancelled = true}})));
  const std::string want =
      "page 1: 4x2, copies 2, normal mode, SpaceFlag 1\n"
      "page 2: 1x2492, copies 1, high-quality mode, 2492-row page, SpaceFlag 0\n"
      "page 3: cancelled before the image data (3x2, copies 1, normal mode)\n";
  for (const std::string& args : {stream, "< " + stream, "- < " + stream}) {
    SCOPED_TRACE(args);
    const auto result = Decode(args, err);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, want);
    EXPECT_EQ(test::ReadFile(err), "");
  }
}

TEST(VeltaDecode, AChangedByteIsAnErrorWithItsOffset) {
  test::TempFolder dir;
  const std::string stream = dir.path() + "/job.prn", err = dir.path() + "/err.txt";
  auto bytes = HandStream({{}, {}});
  const size_t page_size = bytes.size() / 2;
  bytes[page_size + test::kSetupBytes + 1] = 0xEB;  // SendDataCMD opcode of page 2
  ASSERT_TRUE(test::WriteFile(stream, bytes));
  const auto result = Decode(stream, err);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "page 1: 3x2, copies 1, normal mode, SpaceFlag 1\n");
  const std::string error = test::ReadFile(err);
  EXPECT_EQ(error.rfind("ERROR: page 2: ", 0), 0u) << error;
  EXPECT_NE(error.find(" at byte " + std::to_string(page_size + test::kSetupBytes + 1) + "\n"), std::string::npos)
      << error;
}

TEST(VeltaDecode, EmptyInputAndWrongArgumentsFail) {
  test::TempFolder dir;
  const std::string err = dir.path() + "/err.txt";
  EXPECT_EQ(Decode("< /dev/null", err).status, 1);
  EXPECT_EQ(test::ReadFile(err), "ERROR: the stream holds no page at byte 0\n");
  EXPECT_NE(Decode(dir.path() + "/missing.prn", err).status, 0);
  EXPECT_NE(Decode("--colour x", err).status, 0);
  EXPECT_NE(Decode("a b", err).status, 0);
}

TEST(VeltaDecode, WritesThreeGreyPlanesAColourPreviewAndThePictureAsPrintedPerPrintedPage) {
  test::TempFolder dir;
  const std::string stream = dir.path() + "/job.prn", err = dir.path() + "/err.txt";
  const HandPage first{.width = 5, .height = 3, .seed = 11};
  ASSERT_TRUE(test::WriteFile(stream, HandStream({first, {.cancelled = true}, {.width = 2, .height = 2}})));
  const auto result = Decode("--png " + dir.path() + " " + stream, err);
  ASSERT_EQ(result.status, 0) << test::ReadFile(err);
  const auto data = test::HandData(first);
  for (int k = 0; k < 3; ++k) {
    PngPicture plane;
    std::string error;
    ASSERT_TRUE(ReadPng(dir.path() + "/page1-plane" + std::to_string(k) + ".png", plane, error)) << error;
    ASSERT_EQ(plane.channels, 1);
    ASSERT_EQ(plane.pixels.size(), 15u);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(plane.pixels[i], 255 - data[15 * k + i]) << "plane " << k;
  }
  for (const char* name : {"/page1-preview.png", "/page1-printed.png"}) {
    PngPicture colour;
    std::string error;
    ASSERT_TRUE(ReadPng(dir.path() + name, colour, error)) << error;
    EXPECT_EQ(colour.channels, 3);
    EXPECT_EQ(colour.width, 5u);
    EXPECT_EQ(colour.height, 3u);
  }
  // The page lines as without pictures, then one line that explains them.
  const auto lines = test::Lines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  EXPECT_EQ(lines[0], "page 1: 5x3, copies 1, normal mode, SpaceFlag 1");
  EXPECT_EQ(lines[3].rfind("note: pageN-preview.png shows head energies", 0), 0u) << lines[3];
  EXPECT_NE(lines[3].find("pageN-printed.png shows the picture as printed"), std::string::npos) << lines[3];
  // The cancelled page has no pictures; the page after it has.
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/page2-preview.png"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/page2-printed.png"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/page3-printed.png"));
  // A missing folder is made, parents too; one that cannot be made is an error.
  EXPECT_EQ(Decode("--png " + dir.path() + "/new/pictures " + stream, err).status, 0) << test::ReadFile(err);
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/new/pictures/page1-preview.png"));
  EXPECT_EQ(Decode("--png " + stream + "/under-a-file " + stream, err).status, 1);
}

}  // namespace
}  // namespace velta

#endif
