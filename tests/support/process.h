// Runs programs as child processes for the tests: argument vector, environment,
// standard input from a pipe, a file or closed, standard output and error
// collected or sent to files, exit status and peak memory.
#pragma once

#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace velta::test {

// AddressSanitizer's shadow memory and quarantine change what a process's
// resident memory says, so memory checks stand aside under it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderAddressSanitizer = true;
#else
inline constexpr bool kUnderAddressSanitizer = false;
#endif

// How to start a program.
struct Command {
  explicit Command(std::vector<std::string> words) : argv(std::move(words)) {}

  std::vector<std::string> argv;                // argv[0] a path, or a name looked up in PATH
  std::optional<std::vector<std::string>> env;  // the whole environment ("NAME=value"); unset: this process's
  std::string stdin_file;                       // standard input read from this file...
  bool stdin_closed = false;                    // ...or closed; otherwise a pipe the test writes
  std::string stdout_file;                      // standard output to this file instead of ProcessResult::out
  std::string stderr_file;                      // standard error to this file instead of ProcessResult::err
};

// What a finished process left behind.
struct ProcessResult {
  int status = -1;       // exit status, or 128 + signal number when a signal ended it
  std::string out;       // standard output, byte for byte, unless sent to a file
  std::string err;       // standard error, unless sent to a file
  long peak_rss_kb = 0;  // the child's peak resident memory
};

// A running child. Collected output and error are read by threads, so the child
// never blocks on a full pipe. Every descriptor the test opens is close-on-exec,
// so children started at once from several threads do not hold each other's
// pipes open. The child starts with SIGTERM and SIGPIPE at their defaults, as
// under the spooler.
class ChildProcess {
 public:
  explicit ChildProcess(const Command& command);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes bytes to the child's standard input; stops quietly once it stopped reading.
  void Write(const std::string& bytes);
  // Closes the child's standard input (end of file).
  void CloseInput();
  // Waits until standard error holds text; false after timeout_ms.
  bool WaitForError(const std::string& text, int timeout_ms = 10000);
  // Waits until at least count bytes arrived on standard output; false after timeout_ms.
  bool WaitForOutput(std::size_t count, int timeout_ms = 10000);
  // Sends a signal to the child while it runs.
  void Signal(int sig);
  // Closes input, waits for the child and returns what it left.
  ProcessResult Finish();
  // Sends SIGTERM, waits up to grace_ms, then sends SIGKILL; returns what it left.
  ProcessResult Stop(int grace_ms = 5000);
  // True until Finish or Stop reaped the child.
  bool running() const { return pid_ > 0; }

 private:
  ProcessResult Reap(int options);

  pid_t pid_ = -1;
  int in_fd_ = -1;
  std::thread out_reader_, err_reader_;
  struct Shared;
  Shared* shared_;
};

// Runs command to its end with input on its standard input (when that is a pipe).
ProcessResult Run(const Command& command, const std::string& input = "");

// Runs a command line through /bin/sh with this process's environment.
ProcessResult RunShell(const std::string& line);

// The lines of a program's output or messages that start with prefix, without
// their line ends.
std::vector<std::string> Lines(const std::string& text, const std::string& prefix = "");

}  // namespace velta::test
