// The job settings: from the job's options, the PPD's defaults, or neither.
#include <climits>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "filter/print_options.h"
#include "tests/support/files.h"
#include "tests/support/velta_programs.h"

namespace velta::test {
namespace {

// A PPD with the given PickOne options and default choices.
std::string PpdWithDefaults(const std::string& name, const std::map<std::string, std::string>& defaults) {
  std::string text =
      "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
      "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TEST.PPD\"\n"
      "*Manufacturer: \"Test\"\n*Product: \"(Test)\"\n*ModelName: \"Test\"\n"
      "*ShortNickName: \"Test\"\n*NickName: \"Test\"\n";
  for (const auto& [keyword, choice] : defaults)
    text += "*OpenUI *" + keyword + ": PickOne\n*Default" + keyword + ": " + choice + "\n*" + keyword + " " + choice +
            ": \"\"\n*CloseUI: *" + keyword + "\n";
  return WriteTempFile(name, text);
}

// The option lines a job logs (the job has no pages, so nothing follows them).
std::string OptionLines(const std::string& options, const std::string& ppd) {
  const auto run = RunFilter(JobArgs(options), MakeRaster({"--pages", "0"}), ppd);
  std::istringstream in(run.err);
  std::string lines;
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("DEBUG: ")) lines += line + "\n";
  return lines;
}

TEST(PrintOptions, EveryOptionFromThePpdDefaults) {
  const auto ppd = PpdWithDefaults("all-defaults.ppd", {{"stpBrightness", "3"},
                                                        {"stpContrast", "-2"},
                                                        {"stpSaturation", "+4"},
                                                        {"stpResize", "-10"},
                                                        {"stpSharpness", "5"},
                                                        {"stpRed", "1"},
                                                        {"stpGreen", "-1"},
                                                        {"stpBlue", "0"},
                                                        {"DirectMap", "true"},
                                                        {"Monochrome", "True"},
                                                        {"PrintMode", "true"}});
  EXPECT_EQ(OptionLines("", ppd),
            "DEBUG: argv[5]=\n"
            "DEBUG: cupsParseOptions=0\n"
            "DEBUG: stp_brightness(2)=3\n"
            "DEBUG: stp_contrast(2)=-2\n"
            "DEBUG: stp_saturation(2)=4\n"
            "DEBUG: stp_resize(2)=-10\n"
            "DEBUG: stp_sharpness(2)=5\n"
            "DEBUG: stp_red(2)=1\n"
            "DEBUG: stp_green(2)=-1\n"
            "DEBUG: stp_blue(2)=0\n"
            "DEBUG: directmap(2)=1\n"
            "DEBUG: monochrome(2)=0\n"
            "DEBUG: high_quality(2)=1\n");
}

TEST(PrintOptions, JobValuesAreReadLikeAtoiAndFlagsOnlyByTrue) {
  const auto ppd = PpdWithDefaults("no-options.ppd", {});
  EXPECT_EQ(OptionLines("stpBrightness=12abc stpContrast=abc stpResize=-50 stpSharpness=+20 "
                        "stpBlue=' 7' DirectMap=True Monochrome=yes PrintMode=true",
                        ppd),
            "DEBUG: argv[5]=stpBrightness=12abc stpContrast=abc stpResize=-50 stpSharpness=+20 "
            "stpBlue=' 7' DirectMap=True Monochrome=yes PrintMode=true\n"
            "DEBUG: cupsParseOptions=8\n"
            "DEBUG: stp_brightness(1)=12\n"
            "DEBUG: stp_contrast(1)=0\n"
            "DEBUG: stp_saturation(3)=0\n"
            "DEBUG: stp_resize(1)=-50\n"
            "DEBUG: stp_sharpness(1)=20\n"
            "DEBUG: stp_red(3)=0\n"
            "DEBUG: stp_green(3)=0\n"
            "DEBUG: stp_blue(1)=7\n"
            "DEBUG: directmap(1)=0 val=True\n"
            "DEBUG: monochrome(1)=0 val=yes\n"
            "DEBUG: high_quality(1)=1 val=true\n");
}

TEST(PrintOptions, JobValueWinsOverThePpdEvenWhenZero) {
  const auto ppd = PpdWithDefaults("winning.ppd", {{"stpBrightness", "5"}, {"PrintMode", "true"}, {"stpRed", "9"}});
  const auto lines = OptionLines("stpBrightness=abc PrintMode=false", ppd);
  EXPECT_NE(lines.find("DEBUG: stp_brightness(1)=0\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("DEBUG: high_quality(1)=0 val=false\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("DEBUG: stp_red(2)=9\n"), std::string::npos) << lines;
}

TEST(PrintOptions, NoPpdMeansNoOptionLines) { EXPECT_EQ(OptionLines("stpResize=50 PrintMode=true", ""), ""); }

TEST(PrintOptions, NumbersBeyondInt32Saturate) {
  const auto ppd = PpdWithDefaults("saturate.ppd", {{"stpRed", "99999999999999999999"}});
  const auto lines = OptionLines(
      "stpBrightness=2147483647 stpContrast=2147483648 stpSaturation=-2147483648 "
      "stpResize=-2147483649 stpSharpness=-99999999999999999999999",
      ppd);
  for (const char* expected :
       {"stp_brightness(1)=2147483647\n", "stp_contrast(1)=2147483647\n", "stp_saturation(1)=-2147483648\n",
        "stp_resize(1)=-2147483648\n", "stp_sharpness(1)=-2147483648\n", "stp_red(2)=2147483647\n"})
    EXPECT_NE(lines.find(expected), std::string::npos) << expected << lines;
}

TEST(PrintOptions, NumberTexts) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"", 0},
      {"+", 0},
      {"-", 0},
      {"x1", 0},
      {" \t\n42", 42},
      {"-7x", -7},
      {"+0009", 9},
      {"1 2", 1},
      {"--1", 0},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MAX},
      {"-2147483649", INT32_MIN},
      {"00000000000000000000000000012", 12},
      {"184467440737095516161", INT32_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseOptionNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(PrintOptions, FlagTexts) {
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {{"true", 1},  {"True", 0}, {"TRUE", 0}, {"true ", 0}, {" true", 0}, {"tru", 0},
                        {"truex", 0}, {"yes", 0},  {"1", 0},    {"on", 0},    {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(ParseOptionFlag(c.text), c.value) << "'" << c.text << "'";
}

}  // namespace
}  // namespace velta::test
