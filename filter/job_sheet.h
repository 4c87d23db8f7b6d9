// Which of the printer's two sheets a job asks for.
#pragma once

#include <cstdint>
#include <string>

#include <cups/ppd.h>

namespace velta {

// One of the printer's sheets in dots, or the size a job named that is none.
struct SheetChoice {
  uint32_t width = 1800;    // dots across the head
  uint32_t height = 2492;   // rows along the feed
  std::string unknown;      // a size the job named that this printer does not take
  std::string named;        // the name that chose the sheet, empty for the default
};

// The sheet the job's PageSize or media names: a PPD choice name, or any name
// CUPS knows a size by (PWG, legacy, PPD) whose size is one of the sheets,
// either way round (na_index-4x6_4x6in is the 6x4 sheet turned). When the job
// names no size, the PPD's default (the 6x8 sheet without a PPD). A named size
// that is no sheet of this printer is kept in `unknown`, and the default
// sheet is chosen.
SheetChoice ChooseSheet(ppd_file_t* ppd, int num_options, cups_option_t* options);

}  // namespace velta
