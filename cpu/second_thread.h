// The one way work goes to the machine's second processor: a helper thread
// that runs one task and is joined before its owner goes on. Every stage that
// shares its work (rows in bands, rendering batches handed over, the page road
// following the reader) starts its helper here.
#pragma once

#include <pthread.h>
#include <signal.h>

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
  template <typename Task>
  bool Start(Task&& task) {
    try {
      thread_ = std::thread([task = std::forward<Task>(task)]() mutable {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        task();
      });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Waits for the task to end; nothing when none was started.
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  // Tells whether a task was started and not yet joined.
  bool Running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
};

}  // namespace velta
