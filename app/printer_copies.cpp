// The copy count that goes into the printer's copies command.
#include "app/printer_copies.h"

namespace velta {

uint32_t PrinterCopies(int job_copies, uint32_t NumCopies) {
  return job_copies > 1 ? static_cast<uint32_t>(job_copies) : NumCopies;
}

}  // namespace velta
