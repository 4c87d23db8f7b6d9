// The filter run as a process on a raster file, or with its standard input
// closed, and what it wrote read back as the printer would.
#pragma once

#include <string>
#include <vector>

#include "stream_parser.h"
#include "tests/support/files.h"
#include "tests/support/velta_programs.h"

namespace velta::robustness {

using test::ChildProcess;
using test::Command;
using test::FilterCommand;
using test::JobArgs;
using test::kShippedPpd;
using test::Lines;
using test::MakeRasterFile;
using test::ProcessResult;
using test::ReadFile;
using test::WriteTempFile;

// Where the filter's standard input comes from.
enum class Input { File, Closed };

// Runs the filter with argument words args (after the program name), standard
// input from input_path (or closed) and PPD set to ppd_path unless it is empty.
ProcessResult RunJob(const std::vector<std::string>& args, Input input, const std::string& input_path,
                     const std::string& ppd_path);

// The pages of a printer stream as velta-decode's reader sees them (head data
// not kept). False when the reader finds the stream broken; an empty stream
// has no pages and is not broken.
bool DecodePages(const std::string& stream, std::vector<DecodedPage>& pages);

}  // namespace velta::robustness
