// The copy count that goes into the printer's copies command.
#pragma once

#include <cstdint>

namespace velta {

// The copies the printer is told to make of each page. The printer makes the
// copies itself, so PAPPL never repeats a page: a job's "copies" above 1 wins,
// otherwise the page header's NumCopies stands (a PWG raster stream may carry
// its own count). BuildPageSetup brings the result into the printer's 1..99.
uint32_t PrinterCopies(int job_copies, uint32_t NumCopies);

}  // namespace velta
