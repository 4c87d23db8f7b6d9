// One line that says what the printer was told about a page.
#include "page_summary.h"

namespace velta {

std::string PageSummary(int number, const DecodedPage& page) {
  std::string setup = std::to_string(page.width) + "x" + std::to_string(page.height) + ", copies " +
                      std::to_string(page.copies) + ", " + (page.high_quality ? "high-quality mode" : "normal mode");
  const std::string head = "page " + std::to_string(number) + ": ";
  if (page.cancelled) return head + "cancelled before the image data (" + setup + ")";
  if (page.tall_page_flag) setup += ", 2492-row page";
  return head + setup + ", SpaceFlag " + std::to_string(page.SpaceFlag);
}

}  // namespace velta
