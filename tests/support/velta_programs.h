// The filter and the raster maker as the tests run them.
#pragma once

#include <string>
#include <vector>

#include "tests/support/process.h"

namespace velta::test {

// The built programs and the shipped PPD.
extern const char* const kFilterProgram;
extern const char* const kMkrasterProgram;
extern const char* const kShippedPpd;
extern const char* const kPhotoFilterProgram;  // phototovelta, or VELTA_TEST_PHOTO_FILTER when set

// The filter's five usual argument words (job id, user, title, copies) with the
// given option string.
std::vector<std::string> JobArgs(const std::string& options = "");

// The filter with argument words args after its name, in the environment the
// spooler gives it: PATH only, plus PPD when ppd is set. VELTA_TEST_FILTER, when
// set, names another filter program to run instead: another machine's build
// under an emulator, through a small script.
// program, when set, runs instead of rastertovelta (phototovelta, say).
Command FilterCommand(const std::vector<std::string>& args, const std::string& ppd = "",
                      const char* program = nullptr);

// Runs the filter with args, input on standard input and PPD set to ppd unless empty.
ProcessResult RunFilter(const std::vector<std::string>& args, const std::string& input, const std::string& ppd = "");

// Runs velta-mkraster with args and returns the raster it wrote; throws when it fails.
std::string MakeRaster(const std::vector<std::string>& args);

// Runs velta-mkraster with args into a file named name in the program's
// temporary folder and returns its path; throws when it fails.
std::string MakeRasterFile(const std::string& name, const std::vector<std::string>& args);

}  // namespace velta::test
