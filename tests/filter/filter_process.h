// Runs the filter and the raster maker as child processes for the tests.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace velta::test {

// What a finished process left behind.
struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal number when a signal ended it
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error
};

// A running child with piped standard input, output and error. Output and
// error are collected by threads so the child never blocks on a full pipe.
class ChildProcess {
 public:
  // Starts argv[0] with arguments argv. env holds the whole environment
  // ("NAME=value"). With stdout_path set, standard output goes to that file.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& stdout_path = "");
  ~ChildProcess();

  // Writes bytes to the child's standard input.
  void Write(const std::string& bytes);
  // Closes the child's standard input (end of file).
  void CloseInput();
  // Waits until standard error contains text; false after timeout_ms.
  bool WaitForError(const std::string& text, int timeout_ms = 10000);
  // Waits until at least count bytes arrived on standard output; false after timeout_ms.
  bool WaitForOutput(std::size_t count, int timeout_ms = 10000);
  // Sends a signal to the child.
  void Signal(int sig);
  // Closes input, waits for the child and returns what it left.
  ProcessResult Finish();

 private:
  pid_t pid_ = -1;
  int in_fd_ = -1;
  std::thread out_reader_, err_reader_;
  struct Shared;
  Shared* shared_;
};

// Runs the filter with argument words args (after the program name), raster on
// standard input and PPD set to ppd_path unless it is empty.
ProcessResult RunFilter(const std::vector<std::string>& args, const std::string& input,
                        const std::string& ppd_path = "");

// The filter's usual five arguments with the given option string.
std::vector<std::string> JobArgs(const std::string& options = "");

// Runs velta-mkraster with args and returns the raster it wrote.
std::string MakeRaster(const std::vector<std::string>& args);

// The environment for the filter: PATH only, plus PPD when ppd_path is set.
std::vector<std::string> FilterEnvironment(const std::string& ppd_path);

// Writes text to a new file in the test's temporary folder and returns its path.
std::string WriteTempFile(const std::string& name, const std::string& text);

}  // namespace velta::test
