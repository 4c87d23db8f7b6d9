// The one way work goes to the machine's second processor: a helper thread
// that runs one task and is joined before its owner goes on. Every stage that
// shares its work (rows in bands, rendering batches handed over, the page road
// following the reader) starts its helper here.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace velta {

class SecondThread {
 public:
  SecondThread() = default;
  ~SecondThread() { Join(); }
  SecondThread(const SecondThread&) = delete;
  SecondThread& operator=(const SecondThread&) = delete;

  // Runs task() on a new thread; false when no thread can be had, and the
  // caller then does the work itself. The thread blocks every signal, so a
  // SIGTERM always reaches the thread that reads the job and polls the flag.
  // When the task fails (throws), released() runs on the helper to wake
  // whatever waits for its work, and Join tells the owner. With the
  // environment variable VELTA_FAIL_SECOND_THREAD set, every task fails as it
  // starts: the tests' way to make a helper fail.
  template <typename Task, typename Released>
  bool Start(Task&& task, Released&& released) {
    failed_.store(false, std::memory_order_relaxed);
    try {
      thread_ =
          std::thread([this, task = std::forward<Task>(task), released = std::forward<Released>(released)]() mutable {
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            try {
              if (FailureForced()) throw std::runtime_error("helper thread made to fail");
              task();
            } catch (...) {
              failed_.store(true, std::memory_order_release);
              released();
            }
          });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // The same for a task that nothing waits on but the join.
  template <typename Task>
  bool Start(Task&& task) {
    return Start(std::forward<Task>(task), [] {});
  }

  // Waits for the task to end; false when it failed. True when none was started.
  bool Join() {
    if (thread_.joinable()) thread_.join();
    return !failed_.load(std::memory_order_acquire);
  }

  // Tells whether a task was started and not yet joined.
  bool Running() const { return thread_.joinable(); }

 private:
  static bool FailureForced() {
    static const bool forced = std::getenv("VELTA_FAIL_SECOND_THREAD") != nullptr;
    return forced;
  }

  std::thread thread_;
  std::atomic<bool> failed_{false};
};

}  // namespace velta
