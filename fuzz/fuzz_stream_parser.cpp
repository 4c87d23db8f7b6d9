// Fuzz target: velta-decode's reader of the printer stream.
//
// Input: one byte that sets the slice length, then the stream. The stream read
// in slices must give what it gives read whole.
#include <cstdint>
#include <cstdlib>

#include "stream_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t slice = data[0] % 97 + 1;
  const std::span<const uint8_t> stream(data + 1, size - 1);

  const velta::StreamContents whole = velta::ParseStream(stream);
  velta::StreamParser parser(true);
  for (std::size_t at = 0; at < stream.size(); at += slice)
    if (!parser.feed(stream.subspan(at, std::min(slice, stream.size() - at)))) break;
  const bool finished = parser.finish();
  const std::vector<velta::DecodedPage> pages = parser.take_pages();

  if (pages.size() != whole.pages.size()) std::abort();
  if (parser.fault().has_value() != whole.fault.has_value()) std::abort();
  if (whole.fault && (parser.fault()->offset != whole.fault->offset || parser.fault()->what != whole.fault->what))
    std::abort();
  if (finished && whole.fault) std::abort();
  for (std::size_t i = 0; i < pages.size(); ++i)
    if (pages[i].planes != whole.pages[i].planes || pages[i].SpaceFlag != whole.pages[i].SpaceFlag ||
        pages[i].cancelled != whole.pages[i].cancelled)
      std::abort();
  return 0;
}
