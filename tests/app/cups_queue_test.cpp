// CUPS prints to the application through a driverless (IPP Everywhere) queue.
#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/app/app_server.h"
#include "tests/app/cups_daemon.h"
#include "tests/app/printer_stream.h"
#include "tests/support/raster.h"

namespace velta::apptest {
namespace {

// The first file in folder, or empty when there is none yet.
std::string FirstFileIn(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      found = folder + "/" + entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

TEST(CupsQueueTest, PngPrintedWithLpArrivesAsOneCompleteSheet) {
  AppServer app(VELTA_APP_BINARY);
  ASSERT_TRUE(app.running());
  ASSERT_TRUE(app.AddPrinter("velta"));
  CupsDaemon cupsd;
  ASSERT_TRUE(cupsd.running());

  const test::ProcessResult added =
      RunShell("lpadmin -h " + cupsd.server() + " -p velta -E -v " + app.PrinterUri("velta") + " -m everywhere 2>&1");
  ASSERT_EQ(added.status, 0) << added.out;
  const std::string png = cupsd.folder() + "/picture.png";
  ASSERT_TRUE(test::WriteTestPng(png));
  const test::ProcessResult queued = RunShell("lp -h " + cupsd.server() + " -d velta '" + png + "' 2>&1");
  ASSERT_EQ(queued.status, 0) << queued.out;

  // The page is complete once the stream parses as one whole page; a partly
  // written file does not.
  WireStream wire;
  for (int waited = 0; waited < 30000; waited += 100) {
    const std::string file = FirstFileIn(app.device_folder());
    if (!file.empty()) {
      wire = ReadWireStream(ReadFile(file));
      if (wire.complete && wire.pages.size() == 1) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(wire.complete);
  ASSERT_EQ(wire.pages.size(), 1u);
  EXPECT_TRUE(wire.pages[0].has_image);
  // The queue's default is the printer's loaded 6x8 sheet.
  EXPECT_EQ(wire.pages[0].width, 1800u);
  EXPECT_EQ(wire.pages[0].height, 2492u);
  EXPECT_EQ(wire.pages[0].copies, 1u);
}

}  // namespace
}  // namespace velta::apptest
