// velta-tables: prints the built-in tone tables and the direct-map table as
// CSV, for calibration work and documentation.
#include <cstdio>
#include <cstring>
#include <string>

#include "color/direct_map.h"
#include "render/tone_tables.h"
#include "table_csv.h"

namespace {

// All rows of both tone tables, with the header.
std::string ToneCsv() {
  return velta::kToneCsvHeader + velta::ToneTableRows("Zorv_K40_Normal", velta::Zorv_K40_Normal) +
         velta::ToneTableRows("Zorv_K40_HighQuality", velta::Zorv_K40_HighQuality);
}

// All rows of the direct map, with the header. Both print modes share one map.
std::string DirectMapCsv() { return velta::kDirectMapCsvHeader + velta::DirectMapRows(velta::Zorv_DmapTbl_K90_Normal); }

}  // namespace

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "all";
  std::string csv;
  if (argc > 2) {
    what = "";
  } else if (std::strcmp(what, "tone") == 0) {
    csv = ToneCsv();
  } else if (std::strcmp(what, "directmap") == 0) {
    csv = DirectMapCsv();
  } else if (std::strcmp(what, "all") == 0) {
    // Two CSV tables one after the other, separated by an empty line.
    csv = ToneCsv() + "\n" + DirectMapCsv();
  }
  if (csv.empty()) {
    std::fputs("usage: velta-tables [tone|directmap|all]\n", stderr);
    return 2;
  }
  std::fwrite(csv.data(), 1, csv.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
