// The filter and the raster maker as the tests run them.
#include "tests/support/velta_programs.h"

#include <cstdlib>
#include <stdexcept>

#include "tests/support/files.h"

namespace velta::test {

const char* const kFilterProgram = VELTA_FILTER_PROGRAM;
const char* const kMkrasterProgram = VELTA_MKRASTER_PROGRAM;
const char* const kShippedPpd = VELTA_SHIPPED_PPD;
namespace {
// The program named by environment variable name when it is set, else fallback.
const char* ProgramFromEnvironment(const char* name, const char* fallback) {
  const char* other = std::getenv(name);
  return other != nullptr && *other != '\0' ? other : fallback;
}
}  // namespace

const char* const kPhotoFilterProgram = ProgramFromEnvironment("VELTA_TEST_PHOTO_FILTER", VELTA_PHOTO_FILTER_PROGRAM);

std::vector<std::string> JobArgs(const std::string& options) { return {"42", "tester", "test page", "1", options}; }

Command FilterCommand(const std::vector<std::string>& args, const std::string& ppd, const char* program) {
  Command command({program != nullptr ? program : ProgramFromEnvironment("VELTA_TEST_FILTER", kFilterProgram)});
  command.env = {"PATH=/usr/bin:/bin"};
  command.argv.insert(command.argv.end(), args.begin(), args.end());
  if (!ppd.empty()) command.env->push_back("PPD=" + ppd);
  return command;
}

ProcessResult RunFilter(const std::vector<std::string>& args, const std::string& input, const std::string& ppd) {
  return Run(FilterCommand(args, ppd), input);
}

std::string MakeRaster(const std::vector<std::string>& args) {
  Command command({kMkrasterProgram});
  command.env.emplace();
  command.argv.insert(command.argv.end(), args.begin(), args.end());
  const ProcessResult made = Run(command);
  if (made.status != 0) throw std::runtime_error("velta-mkraster failed: " + made.err);
  return made.out;
}

std::string MakeRasterFile(const std::string& name, const std::vector<std::string>& args) {
  const std::string path = WriteTempFile(name, "");
  std::vector<std::string> to_file{"-o", path};
  to_file.insert(to_file.end(), args.begin(), args.end());
  MakeRaster(to_file);
  return path;
}

}  // namespace velta::test
