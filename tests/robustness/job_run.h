// Runs the filter as a process with its standard input taken from a file, or
// closed, and reads back what it wrote.
#pragma once

#include <string>
#include <vector>

#include "stream_parser.h"

namespace velta::robustness {

// Where the filter's standard input comes from.
enum class Input { File, Closed };

// What a finished filter left behind.
struct JobResult {
  int status = -1;   // exit status, or 128 + signal number when a signal ended it
  std::string out;   // the printer stream, byte for byte
  std::string err;   // the messages
};

// Runs the filter with argument words args (after the program name), standard
// input from input_path (or closed) and PPD set to ppd_path unless it is empty.
JobResult RunJob(const std::vector<std::string>& args, Input input, const std::string& input_path,
                 const std::string& ppd_path);

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
