// The printer description the filter runs with when it serves as the reference
// for the app's bytes.
#include "tests/app/reference_ppd.h"

#include <fstream>

#include <gtest/gtest.h>

#include "tests/support/velta_programs.h"

namespace velta::apptest {

namespace {

// One PPD option with a single default choice.
void WriteOption(std::ofstream& ppd, const char* keyword, const char* choice) {
  ppd << "*OpenUI *" << keyword << ": PickOne\n"
      << "*Default" << keyword << ": " << choice << "\n"
      << "*" << keyword << " " << choice << ": \"\"\n"
      << "*CloseUI: *" << keyword << "\n";
}

}  // namespace

bool WriteReferencePpd(const std::string& path) {
  std::ofstream ppd(path);
  ppd << "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"VELTA.PPD\"\n"
         "*Manufacturer: \"Velta\"\n*Product: \"(Velta)\"\n*ModelName: \"Velta\"\n"
         "*ShortNickName: \"Velta\"\n*NickName: \"Velta\"\n*PSVersion: \"(3010.000) 0\"\n"
         "*ColorDevice: True\n*cupsFilter: \"application/vnd.cups-raster 0 rastertovelta\"\n";
  for (const char* number :
       {"stpBrightness", "stpContrast", "stpSaturation", "stpResize", "stpSharpness", "stpRed", "stpGreen", "stpBlue"})
    WriteOption(ppd, number, "0");
  for (const char* flag : {"DirectMap", "Monochrome", "PrintMode"}) WriteOption(ppd, flag, "false");
  return static_cast<bool>(ppd);
}

std::string PhotoFilterBytes(const std::string& photo, int copies, const std::string& options) {
  const test::ProcessResult run = test::Run(test::FilterCommand(
      {"1", "tester", "photo", std::to_string(copies), options, photo}, test::kShippedPpd, test::kPhotoFilterProgram));
  EXPECT_EQ(run.status, 0) << "phototovelta on " << photo << ": " << run.err;
  return run.out;
}

}  // namespace velta::apptest
