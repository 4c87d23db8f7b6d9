// The printer application prints what the filter prints, byte for byte.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/app/app_server.h"
#include "tests/app/reference_ppd.h"
#include "tests/app/printer_stream.h"
#include "tests/app/test_documents.h"
#include "tests/support/raster.h"
#include "tests/support/velta_programs.h"

namespace velta::apptest {
namespace {

using test::RasterPage;
using test::WritePwgRaster;
using test::WriteTestPng;

// A job without vendor attributes.
JobRequest MakeJob(const std::string& file, const std::string& format, const std::string& name, int copies = 1,
                   const std::string& media = "") {
  JobRequest job;
  job.file = file;
  job.format = format;
  job.name = name;
  job.copies = copies;
  job.media = media;
  return job;
}

// One application server and one printer for the whole suite.
class AppPrintTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<AppServer>(VELTA_APP_BINARY);
    ASSERT_TRUE(server_->running()) << "the application did not start";
    ASSERT_TRUE(server_->AddPrinter("velta"));
    ppd_ = server_->folder() + "/reference.ppd";
    ASSERT_TRUE(WriteReferencePpd(ppd_));
  }
  static void TearDownTestSuite() { server_.reset(); }

  // A raster file in the server's folder.
  static std::string RasterPath(const std::string& name) { return server_->folder() + "/" + name + ".pwg"; }

  // Prints job and returns what reached the device, after the job completed.
  static std::string PrintAndCollect(const JobRequest& job) {
    const int id = server_->Submit("velta", job);
    EXPECT_GT(id, 0) << "job " << job.name << " refused";
    if (id <= 0) return {};
    EXPECT_EQ(server_->WaitForJob("velta", id, 30000), "completed") << job.name;
    return ReadFile(server_->device_folder() + "/" + job.name + ".prn");
  }

  // The filter's bytes for raster with the option string options.
  static std::string FilterBytes(const std::string& raster, const std::string& options) {
    std::vector<std::string> args = test::JobArgs(options);
    args.push_back(raster);
    const test::ProcessResult run = test::RunFilter(args, "", ppd_);
    EXPECT_EQ(run.status, 0) << "filter on " << raster << ": " << run.err;
    return run.out;
  }

  static std::unique_ptr<AppServer> server_;
  static std::string ppd_;
};

std::unique_ptr<AppServer> AppPrintTest::server_;
std::string AppPrintTest::ppd_;

TEST_F(AppPrintTest, FullSheetWithoutOptionsEqualsTheFilter) {
  const RasterPage page;  // 1800 x 2492, picture everywhere
  const std::string raster = RasterPath("plain");
  ASSERT_TRUE(WritePwgRaster(raster, &page, 1));
  JobRequest job = MakeJob(raster, "image/pwg-raster", "plain");
  const std::string app = PrintAndCollect(job);
  const std::string filter = FilterBytes(raster, "");
  ASSERT_EQ(app.size(), 95u + 1800u * 2492u * 3u);
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
}

// Vendor attributes as a client sends them, and the filter's options for the same settings.
struct SettingsCase {
  const char* name;
  std::vector<std::string> vendor;
  const char* filter_options;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const SettingsCase& c, std::ostream* os) { *os << c.name; }

class AppSettingsTest : public AppPrintTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(AppSettingsTest, SmallSheetWithSettingsEqualsTheFilter) {
  const SettingsCase& c = GetParam();
  RasterPage page;
  page.height = 1200;
  page.seed = 7;
  const std::string raster = RasterPath(c.name);
  ASSERT_TRUE(WritePwgRaster(raster, &page, 1));
  JobRequest job = MakeJob(raster, "image/pwg-raster", c.name);
  job.media = "oe_photo-6x4_6x4in";
  job.vendor = c.vendor;
  const std::string app = PrintAndCollect(job);
  const std::string filter = FilterBytes(raster, c.filter_options);
  ASSERT_EQ(app.size(), 95u + 1800u * 1200u * 3u);
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
  // The settings must change the picture, or the comparison proves little.
  const std::string plain = FilterBytes(raster, "");
  EXPECT_FALSE(plain == filter) << c.name << " printed like a job without settings";
}

INSTANTIATE_TEST_SUITE_P(
    EachSetting, AppSettingsTest,
    ::testing::Values(
        SettingsCase{"tone",
                     {"integer brightness 4", "integer contrast -3", "integer saturation 5"},
                     "stpBrightness=4 stpContrast=-3 stpSaturation=5"},
        SettingsCase{
            "balance",
            {"integer red-balance 6", "integer green-balance -2", "integer blue-balance 3", "integer sharpness 2"},
            "stpRed=6 stpGreen=-2 stpBlue=3 stpSharpness=2"},
        SettingsCase{"directmap",
                     {"boolean direct-map true", "keyword print-mode high-quality"},
                     "DirectMap=true PrintMode=true"},
        SettingsCase{"mono", {"boolean monochrome true", "integer resize 20"}, "Monochrome=true stpResize=20"},
        SettingsCase{"reduce", {"integer resize -30", "integer sharpness -4"}, "stpResize=-30 stpSharpness=-4"},
        SettingsCase{"quality", {"enum print-quality 5"}, "PrintMode=true"},
        SettingsCase{"colourmode", {"keyword print-color-mode monochrome"}, "Monochrome=true"}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST_F(AppPrintTest, JobCopiesReachTheCopiesCommandAndPagesAreNotRepeated) {
  // Two pages, the stream says one copy each; the job asks for three.
  RasterPage pages[2];
  pages[0].height = pages[1].height = 1200;
  pages[1].seed = 2;
  const std::string raster = RasterPath("copies");
  ASSERT_TRUE(WritePwgRaster(raster, pages, 2));
  JobRequest job = MakeJob(raster, "image/pwg-raster", "copies", 3, "oe_photo-6x4_6x4in");
  const std::string app = PrintAndCollect(job);
  // The filter learns the count from NumCopies, so its raster carries 3.
  pages[0].NumCopies = pages[1].NumCopies = 3;
  const std::string counted = RasterPath("copies3");
  ASSERT_TRUE(WritePwgRaster(counted, pages, 2));
  const std::string filter = FilterBytes(counted, "");
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
  const WireStream wire = ReadWireStream(app);
  ASSERT_EQ(wire.pages.size(), 2u);
  EXPECT_EQ(wire.pages[0].copies, 3u);
  EXPECT_NE(server_->Log().find("Page 2: 1800x1200 dots, 3 copies."), std::string::npos) << "the log names the copies";
}

TEST_F(AppPrintTest, StreamCopiesStandWhenTheJobAsksForOne) {
  RasterPage page;
  page.height = 1200;
  page.NumCopies = 150;  // the printer takes at most 99
  const std::string raster = RasterPath("streamcopies");
  ASSERT_TRUE(WritePwgRaster(raster, &page, 1));
  JobRequest job = MakeJob(raster, "image/pwg-raster", "streamcopies", 1, "oe_photo-6x4_6x4in");
  const std::string app = PrintAndCollect(job);
  const std::string filter = FilterBytes(raster, "");
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
  const WireStream wire = ReadWireStream(app);
  ASSERT_EQ(wire.pages.size(), 1u);
  EXPECT_EQ(wire.pages[0].copies, 99u);
}

TEST_F(AppPrintTest, PictureInTheLowerHalfIsMovedUpLikeTheFilterDoes) {
  RasterPage page;
  page.first_picture_row = 1300;
  const std::string raster = RasterPath("lowerhalf");
  ASSERT_TRUE(WritePwgRaster(raster, &page, 1));
  JobRequest job = MakeJob(raster, "image/pwg-raster", "lowerhalf");
  const std::string app = PrintAndCollect(job);
  const std::string filter = FilterBytes(raster, "");
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
  const WireStream wire = ReadWireStream(app);
  ASSERT_EQ(wire.pages.size(), 1u);
  EXPECT_EQ(wire.pages[0].space_flag, 0);
}

// PNG jobs: PAPPL scales the picture onto the sheet; the printer gets one whole page.
struct PhotoCase {
  const char* name;
  const char* format;
  const char* media;
  const char* filter_options;  // the same sheet for phototovelta
  int copies;
  uint32_t height;
};

class AppPhotoTest : public AppPrintTest, public ::testing::WithParamInterface<PhotoCase> {};

TEST_P(AppPhotoTest, PhotoGivesTheBytesOfTheCupsFilter) {
  const PhotoCase& c = GetParam();
  std::string photo = VELTA_SAMPLE_PHOTO;
  if (std::string(c.format) == "image/png") {
    photo = server_->folder() + "/" + c.name + ".png";
    ASSERT_TRUE(WriteTestPng(photo));
  }
  JobRequest job = MakeJob(photo, c.format, c.name, c.copies, c.media);
  const std::string app = PrintAndCollect(job);
  const WireStream wire = ReadWireStream(app);
  ASSERT_TRUE(wire.complete) << c.name << ": " << app.size() << " bytes";
  ASSERT_EQ(wire.pages.size(), 1u) << "PAPPL must not repeat the page for copies";
  EXPECT_EQ(wire.pages[0].height, c.height);
  EXPECT_EQ(wire.pages[0].copies, static_cast<uint32_t>(c.copies));

  const std::string filter = PhotoFilterBytes(photo, c.copies, c.filter_options);
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
}

INSTANTIATE_TEST_SUITE_P(
    EachSheet, AppPhotoTest,
    ::testing::Values(PhotoCase{"png6x8", "image/png", "om_photo-6x8_152.4x211mm", "", 1, 2492},
                      PhotoCase{"png6x4", "image/png", "oe_photo-6x4_6x4in", "PageSize=w432h288", 2, 1200},
                      PhotoCase{"jpeg6x4", "image/jpeg", "oe_photo-6x4_6x4in", "PageSize=w432h288", 1, 1200}),
    [](const ::testing::TestParamInfo<PhotoCase>& info) { return std::string(info.param.name); });

TEST_F(AppPrintTest, CancelledJobEndsItsPageAndTheNextJobPrints) {
  // Forty full sheets with a thin picture band: a small file that takes a while to print.
  std::vector<RasterPage> pages(40);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    pages[i].first_picture_row = 100;
    pages[i].end_picture_row = 160;
    pages[i].seed = static_cast<uint32_t>(i);
  }
  const std::string raster = RasterPath("long");
  ASSERT_TRUE(WritePwgRaster(raster, pages.data(), static_cast<int>(pages.size())));
  // Print-Job returns only when the job is done, so it runs beside the test.
  int submitted = 0;
  std::thread client([&] { submitted = server_->Submit("velta", MakeJob(raster, "image/pwg-raster", "long")); });
  const std::string output = server_->device_folder() + "/long.prn";
  struct stat info {};
  for (int waited = 0; waited < 20000 && (stat(output.c_str(), &info) != 0 || info.st_size == 0); waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const int id = server_->ProcessingJob("velta");
  const bool cancel_accepted = id > 0 && server_->Cancel("velta", id);
  client.join();
  ASSERT_TRUE(cancel_accepted) << "job " << id;
  EXPECT_EQ(submitted, id);
  EXPECT_EQ(server_->WaitForJob("velta", id, 20000), "canceled");

  const WireStream wire = ReadWireStream(ReadFile(output));
  EXPECT_TRUE(wire.complete) << "a cancelled page must still end with its closing commands";
  EXPECT_LT(wire.pages.size(), pages.size());
  // The log says how many pages the printer received whole.
  std::size_t whole = 0;
  for (const WirePage& page : wire.pages) whole += page.has_image ? 1 : 0;
  EXPECT_NE(server_->Log().find("Cancelled after " + std::to_string(whole) + " whole page"), std::string::npos);

  RasterPage next;
  next.height = 1200;
  const std::string after = RasterPath("afterCancel");
  ASSERT_TRUE(WritePwgRaster(after, &next, 1));
  const std::string app = PrintAndCollect(MakeJob(after, "image/pwg-raster", "afterCancel", 1, "oe_photo-6x4_6x4in"));
  const std::string filter = FilterBytes(after, "");
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
}

TEST_F(AppPrintTest, PageOfAnotherSizeIsPlacedOnTheSheetAsThePhotoWouldBe) {
  // The same 600 x 400 picture as a raster page and as a PNG: placed on the
  // 6x4 sheet they give the bytes phototovelta gives for the PNG.
  const std::string png = server_->folder() + "/bands.png";
  ASSERT_TRUE(WriteTestPng(png));
  const std::string raster = test::MakeRasterFile("bands.ras", {"--png", png});
  const std::string app = PrintAndCollect(MakeJob(raster, "image/pwg-raster", "bands", 2, "oe_photo-6x4_6x4in"));
  const std::string filter = PhotoFilterBytes(png, 2, "PageSize=w432h288");
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
  EXPECT_EQ(ReadWireStream(app).pages.size(), 1u);
}

TEST_F(AppPrintTest, PdfPagesOfTheSheetsSizeEqualTheFilterOnGhostscriptsRaster) {
  // Two 6x4 pages that Ghostscript draws at 1800 x 1200, the sheet: each goes
  // straight through the page road with the job's copies. The reference draws
  // them with the same Ghostscript settings.
  const std::string pdf = server_->folder() + "/sheets.pdf";
  ASSERT_TRUE(WritePdf(pdf, 2, 432, 288));
  const std::string app = PrintAndCollect(MakeJob(pdf, "application/pdf", "sheets", 2, "oe_photo-6x4_6x4in"));
  const std::string png = server_->folder() + "/sheet%d.png";
  ASSERT_EQ(RunShell("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r300 -dTextAlphaBits=4 "
                     "-dGraphicsAlphaBits=4 -sOutputFile='" +
                     png + "' '" + pdf + "'")
                .status,
            0);
  std::string filter;
  for (const char* page : {"1", "2"}) {
    const std::string path = server_->folder() + "/sheet" + page + ".png";
    filter += FilterBytes(
        test::MakeRasterFile(path.substr(path.rfind('/') + 1) + ".ras", {"--png", path, "--copies", "2"}), "");
  }
  EXPECT_TRUE(app == filter) << FirstDifference(app, filter);
}

TEST_F(AppPrintTest, PdfThatGhostscriptCannotReadIsAJobErrorAndTheServerStaysUp) {
  const std::string broken = server_->folder() + "/broken.pdf";
  ASSERT_TRUE(test::WriteFile(broken, std::string("%PDF-1.4\n1 0 obj\n<< /Pages 9 0 R >>\nendobj\ntrailer\n")));
  const int id = server_->Submit("velta", MakeJob(broken, "application/pdf", "broken"));
  ASSERT_GT(id, 0);
  EXPECT_EQ(server_->WaitForJob("velta", id, 30000), "aborted");
  EXPECT_TRUE(WaitForPort(server_->port(), 2000));
  EXPECT_TRUE(ReadWireStream(ReadFile(server_->device_folder() + "/broken.prn")).complete) << "half a page sent";
}

TEST_F(AppPrintTest, ExplicitVendorAttributeWinsOverTheStandardOne) {
  RasterPage page;
  page.height = 1200;
  const std::string raster = RasterPath("wins");
  ASSERT_TRUE(WritePwgRaster(raster, &page, 1));
  const std::string plain = FilterBytes(raster, "");
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"modewins", {"enum print-quality 5", "keyword print-mode normal"}},
      {"colourwins", {"keyword print-color-mode monochrome", "boolean monochrome false"}}};
  for (const auto& [name, attributes] : cases) {
    JobRequest job = MakeJob(raster, "image/pwg-raster", name, 1, "oe_photo-6x4_6x4in");
    job.vendor = attributes;
    const std::string app = PrintAndCollect(job);
    EXPECT_TRUE(app == plain) << name << ": " << FirstDifference(app, plain);
  }
}

TEST_F(AppPrintTest, DeleteRemovesAPrinterAddedWhileTheServerRuns) {
  const std::string system = "-u ipp://127.0.0.1:" + std::to_string(server_->port()) + "/ipp/system";
  ASSERT_TRUE(server_->AddPrinter("spare"));
  const test::ProcessResult deleted = server_->RunClient("delete " + system + " -d spare");
  EXPECT_EQ(deleted.status, 0) << deleted.out;
  const test::ProcessResult printers = server_->RunClient("printers " + system);
  EXPECT_EQ(printers.out.find("spare"), std::string::npos) << printers.out;
  EXPECT_NE(printers.out.find("velta"), std::string::npos) << printers.out;
}

TEST_F(AppPrintTest, MissingDnssdDaemonIsNoError) {
  EXPECT_EQ(server_->Log().find("Unable to initialize DNS-SD"), std::string::npos);
}

}  // namespace
}  // namespace velta::apptest

namespace velta::apptest {
namespace {

TEST_F(AppPrintTest, PrintingDefaultsPageOffersEverySettingAndTheServerStaysUp) {
  const test::ProcessResult run =
      RunShell("curl -s --max-time 10 http://127.0.0.1:" + std::to_string(server_->port()) + "/velta/printing");
  ASSERT_EQ(run.status, 0);
  const std::string& page = run.out;
  for (const char* name : {"brightness", "contrast", "saturation", "resize", "sharpness", "red-balance",
                           "green-balance", "blue-balance", "direct-map", "print-quality", "print-color-mode"})
    EXPECT_NE(page.find(std::string("name=\"") + name + "\""), std::string::npos) << name;
  EXPECT_NE(page.find("min=\"-4\" max=\"4\""), std::string::npos) << "sharpness range";
  // One control a setting: print-quality sets the print mode, print-color-mode Monochrome.
  for (const char* name : {"print-mode", "monochrome"})
    EXPECT_EQ(page.find(std::string("name=\"") + name + "\""), std::string::npos) << name;
  // The page once took the server down while writing its footer.
  EXPECT_TRUE(WaitForPort(server_->port(), 2000));
  const test::ProcessResult again = RunShell("curl -s --max-time 10 -o /dev/null -w '%{http_code}' http://127.0.0.1:" +
                                             std::to_string(server_->port()) + "/velta/printing");
  EXPECT_EQ(again.out, "200");
}

}  // namespace
}  // namespace velta::apptest
