// The filter run as a process on a raster file, or with its standard input
// closed, and what it wrote read back as the printer would.
#include "filter_job.h"

namespace velta::robustness {

ProcessResult RunJob(const std::vector<std::string>& args, Input input, const std::string& input_path,
                     const std::string& ppd_path) {
  Command command = FilterCommand(args, ppd_path);
  command.stdin_closed = input == Input::Closed;
  if (input == Input::File) command.stdin_file = input_path;
  return test::Run(command);
}

bool DecodePages(const std::string& stream, std::vector<DecodedPage>& pages) {
  pages.clear();
  if (stream.empty()) return true;
  StreamParser parser(false);
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  const bool whole = parser.feed({bytes, stream.size()}) && parser.finish();
  pages = parser.take_pages();
  return whole;
}

}  // namespace velta::robustness
