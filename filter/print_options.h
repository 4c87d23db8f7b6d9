// Resolution of the job settings from the job's option string and the PPD defaults.
#pragma once

#include <cstdint>
#include <cstdio>

#include <cups/ppd.h>

#include "pipeline/job_settings.h"

namespace velta {

// Reads a number text the way atoi does (leading blanks, an optional sign,
// decimal digits up to the first other character, no digits give 0), except that
// values beyond the int32_t range saturate at INT32_MIN or INT32_MAX.
int32_t ParseOptionNumber(const char* text);

// Reads a flag text: 1 when it is exactly "true", 0 for anything else.
int32_t ParseOptionFlag(const char* text);

// Opens the printer's PPD at path, or returns nullptr (also for a null path).
ppd_file_t* OpenPrinterPpd(const char* path);

// Closes the PPD, if one was opened.
void ClosePrinterPpd(ppd_file_t* ppd);

// Parses the job's option string and resolves the eleven settings: the job's own
// value first, else the PPD's default choice, else 0. Writes the two parse lines
// and one line per option, in resolution order, to log. ppd must be open.
JobSettings ResolvePrintOptions(const char* option_text, ppd_file_t* ppd, FILE* log);

}  // namespace velta
