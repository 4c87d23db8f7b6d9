// CUPS prints to the application through a driverless (IPP Everywhere) queue,
// the way most Linux desktops print: what the job asks for reaches the printer.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_server.h"
#include "tests/app/cups_daemon.h"
#include "tests/app/printer_stream.h"
#include "tests/app/reference_ppd.h"
#include "tests/app/test_documents.h"
#include "tests/support/raster.h"

namespace velta::apptest {
namespace {

// The application, a private cupsd and "lpadmin -m everywhere" queues on it
// for the whole suite: "velta", and "defaults" whose printer defaults change.
class CupsQueueTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    app_ = std::make_unique<AppServer>(VELTA_APP_BINARY);
    ASSERT_TRUE(app_->running()) << "the application did not start";
    cupsd_ = std::make_unique<CupsDaemon>();
    ASSERT_TRUE(cupsd_->running()) << "cupsd did not start";
    for (const char* name : {"velta", "defaults"}) {
      ASSERT_TRUE(app_->AddPrinter(name));
      const test::ProcessResult added = RunShell("lpadmin -h " + cupsd_->server() + " -p " + name + " -E -v " +
                                                 app_->PrinterUri(name) + " -m everywhere 2>&1");
      ASSERT_EQ(added.status, 0) << added.out;
    }
    png_ = cupsd_->folder() + "/picture.png";
    ASSERT_TRUE(test::WriteTestPng(png_));
  }
  static void TearDownTestSuite() {
    cupsd_.reset();
    app_.reset();
  }

  // Prints file on queue with lp's options and returns what reached the
  // printer, once CUPS has finished the job (its backend waits for the
  // application to complete it).
  static std::string Print(const std::string& queue, const std::string& title, const std::string& file,
                           const std::string& options) {
    const std::string lp = "lp -h " + cupsd_->server() + " -d " + queue + " -t " + title + " " + options;
    const test::ProcessResult queued = RunShell(lp + " '" + file + "' 2>&1");
    EXPECT_EQ(queued.status, 0) << queued.out;
    for (int waited = 0; waited < 60000; waited += 200) {
      if (RunShell("lpstat -h " + cupsd_->server() + " -o " + queue).out.empty()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return ReadFile(app_->device_folder() + "/" + title + ".prn");
  }

  // phototovelta's bytes for photo without options, made once.
  static const std::string& PlainBytes(const std::string& photo) {
    std::string& bytes = plain_[photo];
    if (bytes.empty()) bytes = PhotoFilterBytes(photo, 1, "");
    return bytes;
  }

  static std::unique_ptr<AppServer> app_;
  static std::unique_ptr<CupsDaemon> cupsd_;
  static std::string png_;
  static std::map<std::string, std::string> plain_;
};

std::unique_ptr<AppServer> CupsQueueTest::app_;
std::unique_ptr<CupsDaemon> CupsQueueTest::cupsd_;
std::string CupsQueueTest::png_;
std::map<std::string, std::string> CupsQueueTest::plain_;

TEST_F(CupsQueueTest, PngPrintedWithLpArrivesAsOneCompleteSheet) {
  const WireStream wire = ReadWireStream(Print("velta", "plain", png_, ""));
  ASSERT_TRUE(wire.complete);
  ASSERT_EQ(wire.pages.size(), 1u);
  EXPECT_TRUE(wire.pages[0].has_image);
  // The queue's default is the printer's loaded 6x8 sheet.
  EXPECT_EQ(wire.pages[0].width, 1800u);
  EXPECT_EQ(wire.pages[0].height, 2492u);
  EXPECT_EQ(wire.pages[0].copies, 1u);
}

TEST_F(CupsQueueTest, GeneratedPpdMarksTheSixByEightSheetAndNamesTheCommonSizes) {
  const std::string ppd = ReadFile(cupsd_->folder() + "/etc/ppd/velta.ppd");
  const std::string key = "*DefaultPageSize: ";
  const std::size_t at = ppd.find(key);
  ASSERT_NE(at, std::string::npos);
  const std::string choice = ppd.substr(at + key.size(), ppd.find('\n', at) - at - key.size());
  EXPECT_EQ(choice.rfind("152.4x211mm", 0), 0u) << choice;
  // The default must be one of the choices, or no size is marked at all.
  EXPECT_NE(ppd.find("*PageSize " + choice + ":"), std::string::npos) << choice << " is not a choice";
  for (const char* size : {"6x8", "6x4", "4x6"})
    EXPECT_NE(ppd.find(std::string("*PageSize ") + size + ".Borderless:"), std::string::npos) << size;
}

// An lp option and the phototovelta options that print the same.
struct QueueCase {
  const char* name;
  const char* lp_options;
  bool jpeg;  // the sample JPEG, else the test PNG
  int copies;
  const char* filter_options;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const QueueCase& c, std::ostream* os) { *os << c.name; }

class CupsQueueOptionTest : public CupsQueueTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(CupsQueueOptionTest, PhotoPrintsWhatPhototoveltaPrints) {
  const QueueCase& c = GetParam();
  const std::string photo = c.jpeg ? std::string(VELTA_SAMPLE_PHOTO) : png_;
  const std::string app = Print("velta", c.name, photo, c.lp_options);
  const std::string filter = PhotoFilterBytes(photo, c.copies, c.filter_options);
  EXPECT_TRUE(app == filter) << c.name << ": " << app.size() << " bytes, the filter " << filter.size();
  // The option must change what is printed, or the comparison proves little.
  EXPECT_FALSE(filter == PlainBytes(photo)) << c.name << " printed like a plain job";
}

INSTANTIATE_TEST_SUITE_P(EachOption, CupsQueueOptionTest,
                         ::testing::Values(QueueCase{"quality", "-o print-quality=5", false, 1, "PrintMode=true"},
                                           QueueCase{"monochrome", "-o print-color-mode=monochrome", false, 1,
                                                     "Monochrome=true"},
                                           QueueCase{"copies", "-n 3", true, 3, ""},
                                           QueueCase{"media4x6", "-o media=4x6", false, 1, "PageSize=w432h288"}),
                         [](const ::testing::TestParamInfo<QueueCase>& info) { return std::string(info.param.name); });

TEST_F(CupsQueueTest, LetterPdfPrintsEachPageOnTheSheetWithTheJobsCopies) {
  const std::string pdf = cupsd_->folder() + "/letter.pdf";
  ASSERT_TRUE(WritePdf(pdf, 2, 612, 792));
  const WireStream wire = ReadWireStream(Print("velta", "letter", pdf, "-n 2"));
  ASSERT_TRUE(wire.complete);
  ASSERT_EQ(wire.pages.size(), 2u) << "each page once: the printer makes the copies";
  for (const WirePage& page : wire.pages) {
    EXPECT_EQ(page.width, 1800u);
    EXPECT_EQ(page.height, 2492u) << "a Letter page must never reach the 1800-dot head as it is";
    EXPECT_EQ(page.copies, 2u);
    EXPECT_TRUE(page.has_image);
  }
}

TEST_F(CupsQueueTest, RasterFileCopiesReachTheCopiesCommand) {
  test::RasterPage pages[2];
  pages[0].height = pages[1].height = 1200;
  pages[1].seed = 5;
  const std::string raster = cupsd_->folder() + "/pages.pwg";
  ASSERT_TRUE(test::WritePwgRaster(raster, pages, 2));
  const WireStream wire = ReadWireStream(Print("velta", "raster", raster, "-n 3"));
  ASSERT_TRUE(wire.complete);
  ASSERT_EQ(wire.pages.size(), 2u);
  for (const WirePage& page : wire.pages) EXPECT_EQ(page.copies, 3u);
}

TEST_F(CupsQueueTest, DefaultSavedOnTheWebPageChangesTheBytes) {
  ASSERT_TRUE(app_->SaveDefaultsOnWebPage("defaults", "brightness=5&contrast=-2"));
  const std::string app = Print("defaults", "brighter", png_, "");
  const std::string filter = PhotoFilterBytes(png_, 1, "stpBrightness=5 stpContrast=-2");
  EXPECT_TRUE(app == filter) << app.size() << " bytes, the filter " << filter.size();
  EXPECT_FALSE(filter == PlainBytes(png_));
}

}  // namespace
}  // namespace velta::apptest
