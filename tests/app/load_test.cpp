// The application under load: four clients sending jobs at once, PWG raster,
// JPEG and PNG mixed, some with settings, one cancelled while it prints.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_server.h"
#include "tests/app/printer_stream.h"
#include "tests/app/reference_ppd.h"
#include "tests/support/process.h"
#include "tests/support/raster.h"
#include "tests/support/velta_programs.h"

namespace velta::apptest {
namespace {

using test::kUnderAddressSanitizer;

// One kind of job the clients send (on the 6x4 sheet), and the filter's bytes for it.
struct JobKind {
  JobRequest job;
  std::string expected;
};

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<AppServer>(VELTA_APP_BINARY);
    ASSERT_TRUE(server_->running());
    ASSERT_TRUE(server_->AddPrinter("velta"));
    const std::string folder = server_->folder() + "/";
    ASSERT_TRUE(WriteReferencePpd(folder + "reference.ppd"));
    test::RasterPage page;
    page.height = 1200;
    ASSERT_TRUE(test::WritePwgRaster(folder + "page.pwg", &page, 1));
    ASSERT_TRUE(test::WriteTestPng(folder + "bands.png"));
    ASSERT_EQ(RunShell("convert '" VELTA_SAMPLE_PHOTO "' -resize 800x800 '" + folder + "photo.jpg'").status, 0);
    // A kind of job: its file, format, copies and attributes, and the filter options for the same.
    const auto kind = [&](const char* file, const char* format, int copies, std::vector<std::string> attributes,
                          const std::string& options) {
      JobKind k{{folder + file, format, "", copies, "oe_photo-6x4_6x4in", std::move(attributes)}, ""};
      const bool raster = std::string(format) == "image/pwg-raster";
      test::Command filter = test::FilterCommand({"1", "tester", "load", std::to_string(copies),
                                                  raster ? options : "PageSize=w432h288 " + options, k.job.file},
                                                 raster ? folder + "reference.ppd" : test::kShippedPpd,
                                                 raster ? nullptr : test::kPhotoFilterProgram);
      k.expected = test::Run(filter).out;
      return k;
    };
    kinds_ = {kind("page.pwg", "image/pwg-raster", 1, {}, ""),
              kind("page.pwg", "image/pwg-raster", 1, {"integer brightness 3", "integer sharpness 2"},
                   "stpBrightness=3 stpSharpness=2"),
              kind("photo.jpg", "image/jpeg", 1, {}, ""),
              kind("photo.jpg", "image/jpeg", 1, {"enum print-quality 5"}, "PrintMode=true"),
              kind("bands.png", "image/png", 1, {}, ""),
              kind("bands.png", "image/png", 2, {"keyword print-color-mode monochrome"}, "Monochrome=true")};
    for (const JobKind& k : kinds_) ASSERT_FALSE(k.expected.empty());
  }

  // Sends job `name` of kind k, again while the printer is busy with a raster
  // stream, and checks what reached the device; a fault is added to faults_.
  void SendAndCheck(const std::string& name, std::size_t k) {
    JobRequest job = kinds_[k % kinds_.size()].job;
    job.name = name;
    int id = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while ((id = server_->Submit("velta", job)) <= 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string state = id > 0 ? server_->WaitForJob("velta", id, 120000) : "refused";
    const std::string output = server_->device_folder() + "/" + name + ".prn";
    const std::string bytes = ReadFile(output);
    unlink(output.c_str());
    const std::string& expected = kinds_[k % kinds_.size()].expected;
    if (state != "completed" || bytes != expected) {
      std::lock_guard<std::mutex> lock(faults_mutex_);
      faults_.push_back(name + ": " + state + ", " + FirstDifference(bytes, expected));
    }
  }

  // Four clients at once sending `jobs` jobs between them, of every kind in turn.
  void FourClients(const std::string& phase, std::size_t jobs) {
    std::vector<std::thread> clients;
    for (std::size_t c = 0; c < 4; ++c)
      clients.emplace_back([this, phase, jobs, c] {
        for (std::size_t k = c; k < jobs; k += 4) SendAndCheck(phase + std::to_string(k), k);
      });
    for (std::thread& client : clients) client.join();
  }

  std::unique_ptr<AppServer> server_;
  std::vector<JobKind> kinds_;
  std::mutex faults_mutex_;
  std::vector<std::string> faults_;
};

TEST_F(LoadTest, FourClientsAtOnceGetTheFiltersBytesAndMemoryStaysFlat) {
  // Ten jobs sent as the rest are, four clients at once, then the memory the
  // application settles at: serving clients side by side takes memory once
  // (their threads' stacks, the second heap), not again with every job.
  FourClients("warm", 10);
  const long after10 = server_->ResidentKb();
  ASSERT_GT(after10, 0);

  // Forty at once; one of them, forty pages long, is cancelled while it prints.
  std::vector<test::RasterPage> pages(40);
  for (test::RasterPage& page : pages) page.end_picture_row = 60;
  JobRequest long_job{server_->folder() + "/long.pwg", "image/pwg-raster", "long", 1, "", {}};
  ASSERT_TRUE(test::WritePwgRaster(long_job.file, pages.data(), static_cast<int>(pages.size())));
  std::atomic<bool> cancelled{false};
  std::string cancelled_state = "not cancelled";
  std::thread canceller([&] {
    // Print-Job of a raster answers once the job is over.
    std::thread sender([&] {
      while (server_->Submit("velta", long_job) <= 0 && !cancelled)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    int id = 0;
    for (int waited = 0; waited < 120000 && id == 0; waited += 50) {
      if (!ReadFile(server_->device_folder() + "/long.prn").empty()) id = server_->UnfinishedJobNamed("velta", "long");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (id > 0 && server_->Cancel("velta", id)) cancelled_state = server_->WaitForJob("velta", id, 60000);
    cancelled = true;
    sender.join();
  });
  FourClients("busy", 40);
  canceller.join();
  EXPECT_EQ(cancelled_state, "canceled");

  // Forty-nine more make a hundred.
  FourClients("more", 48);
  SendAndCheck("last", 0);
  const long after100 = server_->ResidentKb();
  EXPECT_TRUE(faults_.empty()) << faults_.size() << " jobs went wrong, the first: " << faults_.front();
  EXPECT_TRUE(WaitForPort(server_->port(), 2000)) << "the application went down";
  std::printf("Resident memory: %ld KiB after 10 jobs, %ld KiB after 100.\n", after10, after100);
  // AddressSanitizer holds freed memory back for a while, by design.
  if (!kUnderAddressSanitizer) {
    EXPECT_LE(after100, after10 + after10 / 10);
  }
}

}  // namespace
}  // namespace velta::apptest
