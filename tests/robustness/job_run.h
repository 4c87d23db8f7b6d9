// Runs the filter as a process with its standard input taken from a file, or
// closed, and reads back what it wrote.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

#include "stream_parser.h"

namespace velta::robustness {

// Where the filter's standard input comes from.
enum class Input { File, Closed };

// What a finished filter left behind.
struct JobResult {
  int status = -1;       // exit status, or 128 + signal number when a signal ended it
  std::string out;       // the printer stream, byte for byte
  std::string err;       // the messages
  long peak_rss_kb = 0;  // the filter's peak resident memory
};

// Runs the filter with argument words args (after the program name), standard
// input from input_path (or closed) and PPD set to ppd_path unless it is empty.
JobResult RunJob(const std::vector<std::string>& args, Input input, const std::string& input_path,
                 const std::string& ppd_path);

// Runs the filter like RunJob with its output and messages discarded, and
// returns its peak resident memory in KiB; writes its exit status to status.
// A child starts from a copy of this process, whose peak the kernel counts as
// the child's too: this process's own peak is therefore first brought down to
// its present size, and no output is held here.
long PeakMemoryKiB(const std::vector<std::string>& args, const std::string& input_path, const std::string& ppd_path,
                   int& status);

// The filter running with its standard input on a pipe that the test writes;
// output and messages go to files. Every descriptor of the test is opened
// close-on-exec, so jobs started at once from several threads do not hold each
// other's pipes open.
class PipedJob {
 public:
  // Starts the filter with argument words args and PPD set to ppd_path unless empty.
  PipedJob(const std::vector<std::string>& args, const std::string& ppd_path);
  ~PipedJob();

  // Writes bytes to the filter's standard input; stops quietly once it stopped reading.
  void Write(const std::string& bytes);
  // Sends sig to the filter.
  void Signal(int sig);
  // Closes standard input, waits for the filter and returns what it left.
  JobResult Finish();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string out_path_, err_path_;
};

// The filter's five usual argument words with the given option string.
std::vector<std::string> JobWords(const std::string& options);

// Runs velta-mkraster with args into a new temporary file and returns its path.
std::string MakeRasterFile(const std::string& name, const std::vector<std::string>& args);

// Writes bytes to a new temporary file and returns its path.
std::string TempFile(const std::string& name, const std::string& bytes);

// The "ERROR:" lines of a text, without their newlines.
std::vector<std::string> ErrorLines(const std::string& err);

// The pages of a printer stream as velta-decode's reader sees them (head data
// not kept). False when the reader finds the stream broken; an empty stream
// has no pages and is not broken.
bool DecodePages(const std::string& stream, std::vector<DecodedPage>& pages);

}  // namespace velta::robustness
