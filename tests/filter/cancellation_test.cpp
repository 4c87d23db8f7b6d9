// SIGTERM from the spooler: a page in progress is closed, between pages it is ignored.
#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "filter/cancel_signal.h"
#include "filter/page_commands.h"
#include "tests/support/velta_programs.h"
#include "wire_pages.h"

namespace velta::test {
namespace {

TEST(Cancellation, SigtermDuringAPageClosesItAndEndsTheJob) {
  // Half of the rows arrive, then the job is cancelled while the filter waits for more.
  const std::string raster =
      MakeRaster({"--width", "300", "--height", "400", "--pattern", "gradient", "--uncompressed"});
  ChildProcess child(FilterCommand({"1", "u", "t", "1", ""}));
  child.Write(raster.substr(0, raster.size() / 2));
  ASSERT_TRUE(child.WaitForError("INFO: Printing page 1, 0% complete...\n"));
  child.Signal(SIGTERM);
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string setup =
      Hex("1B 1E 00 00 00 0C 00  01 00 00 00 00 00 00 00 00 00 00 00"
          "1B EE 00 00 00 02 00  00 01"
          "1B E1 00 00 00 0B 00  00 04 0C 00 00 00 00 01 2C 01 90"
          "1B 15 00 00 00 0D 00  00 00 00 00 67 00 00 00 00 01 2C 01 90");
  EXPECT_EQ(run.out, setup + Hex("1B 23 00 00 00 04 00 FF FF FF FF 1B 0A 00 00 00 00 00"));
  EXPECT_EQ(run.err.find("Transfer completion"), std::string::npos);
  EXPECT_EQ(run.err.find("ready to print"), std::string::npos);
}

TEST(Cancellation, ASigtermAsThePageBeginsStillOpensThePageThatIsClosed) {
  // The signal comes the moment the page's handler goes in, before the first
  // command: the page is still opened, so that its closing commands match.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  cups_page_header2_t header{};
  header.cupsWidth = 300;
  header.cupsHeight = 400;
  header.NumCopies = 1;
  InstallCancelHandler();
  std::raise(SIGTERM);
  ASSERT_TRUE(CancelRequested());
  {
    PrinterOutput output(fds[1]);
    PagePlanes planes;
    EXPECT_EQ(StartPage(output, header, 0), CommandResult::Cancelled);
    EXPECT_EQ(CancelJob(output, planes), CommandResult::Cancelled);
  }
  close(fds[1]);
  ResetCancelRequest();
  std::signal(SIGTERM, SIG_DFL);
  std::string out(64, '\0');
  const ssize_t got = read(fds[0], out.data(), out.size());
  close(fds[0]);
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(out, Hex("1B 1E 00 00 00 0C 00  01 00 00 00 00 00 00 00 00 00 00 00"
                     "1B 23 00 00 00 04 00 FF FF FF FF 1B 0A 00 00 00 00 00"));
}

TEST(Cancellation, SigtermWhileRowsAreAwaitedEndsThePageBeforeTheInputEnds) {
  // The filter waits for rows that do not come (the colours change, so rows
  // are also corrected on a second thread meanwhile); the signal must cut the
  // wait short rather than leave it to the end of the input.
  const std::string raster =
      MakeRaster({"--width", "300", "--height", "400", "--pattern", "gradient", "--uncompressed"});
  ChildProcess child(FilterCommand({"1", "u", "t", "1", "stpSaturation=3 stpResize=-10"}));
  child.Write(raster.substr(0, raster.size() / 2));
  ASSERT_TRUE(child.WaitForError("INFO: Printing page 1, 0% complete...\n"));
  // Long enough for the filter to take in all it was given and wait for more.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  child.Signal(SIGTERM);
  // The set-up commands and the closing ones, while the input is still open.
  EXPECT_TRUE(child.WaitForOutput(66 + 18, 5000));
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.size(), 66u + 18u);
}

TEST(Cancellation, AWriteThatFailsWhileTheJobIsCancelledIsNoError) {
  // The spooler stops the backend together with the filter, so the closing
  // commands of a cancelled page may find the printer connection gone.
  const std::string raster =
      MakeRaster({"--width", "300", "--height", "400", "--pattern", "gradient", "--uncompressed"});
  Command command = FilterCommand({"1", "u", "t", "1", ""});
  command.stdout_file = "/dev/full";
  ChildProcess child(command);
  child.Write(raster.substr(0, raster.size() / 2));
  ASSERT_TRUE(child.WaitForError("INFO: Printing page 1, 0% complete...\n"));
  child.Signal(SIGTERM);
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("ERROR:"), std::string::npos) << run.err;
}

TEST(Cancellation, SigtermBetweenPagesHasNoEffect) {
  const std::string raster =
      MakeRaster({"--width", "20", "--height", "10", "--pages", "2", "--pattern", "photo", "--uncompressed"});
  const std::size_t page_bytes = (raster.size() - 4) / 2;  // sync word, then two equal pages
  const std::size_t wire_page = 95 + 20 * 10 * 3;
  ChildProcess child(FilterCommand({"1", "u", "t", "1", ""}));
  child.Write(raster.substr(0, 4 + page_bytes));
  // The first page is on the wire: its closing commands were flushed after
  // SIGTERM became ignored, and the filter waits for the next header.
  ASSERT_TRUE(child.WaitForOutput(wire_page));
  child.Signal(SIGTERM);
  child.Write(raster.substr(4 + page_bytes));
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<WirePage> pages;
  EXPECT_TRUE(SplitPages(run.out, 20, 10, 2, pages)) << run.out.size();
  EXPECT_TRUE(run.err.ends_with("INFO: CUPS v1.2.12 is ready to print.\n"));
}

TEST(Cancellation, SigtermAfterTheLastPageHasNoEffect) {
  const std::string raster = MakeRaster({"--width", "20", "--height", "10", "--uncompressed"});
  ChildProcess child(FilterCommand({"1", "u", "t", "1", ""}));
  child.Write(raster);
  ASSERT_TRUE(child.WaitForOutput(95 + 600));
  child.Signal(SIGTERM);
  const auto run = child.Finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.size(), 95u + 600u);
  EXPECT_TRUE(run.err.ends_with("INFO: CUPS v1.2.12 is ready to print.\n"));
}

}  // namespace
}  // namespace velta::test
