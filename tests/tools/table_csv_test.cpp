// The built-in tables as CSV: layout of the rows, and the telling values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "table_csv.h"
#include "tests/support/process.h"

namespace velta {
namespace {

using test::Lines;

TEST(TableCsv, ToneRowsGoPlaneByPlaneThenInputByInput) {
  std::array<uint8_t, 768> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i % 256 == 0 ? 240 + i / 256 : i % 200);
  const auto lines = Lines(ToneTableRows("T", table));
  ASSERT_EQ(lines.size(), 768u);
  EXPECT_EQ(lines[0], "T,0,0,240");
  EXPECT_EQ(lines[1], "T,0,1,1");
  EXPECT_EQ(lines[256], "T,1,0,241");
  EXPECT_EQ(lines[512 + 255], "T,2,255,167");  // byte 767: 767 mod 200
}

TEST(TableCsv, DirectMapRowsNameTheNodeItsInputLevelsAndItsOutput) {
  std::array<uint8_t, 2187> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i % 251);
  const auto lines = Lines(DirectMapRows(table));
  ASSERT_EQ(lines.size(), 729u);
  EXPECT_EQ(lines[0], "0,0,0,0,0,0,0,1,2");
  // Node (1, 2, 3) is row 81 + 18 + 3 and starts at byte 243 + 54 + 9 = 306.
  EXPECT_EQ(lines[102], "1,2,3,32,64,96,55,56,57");  // 306 mod 251 = 55
  // Node (8, 8, 8) stands for 256 and holds the last three bytes, 2184..2186.
  EXPECT_EQ(lines[728], "8,8,8,256,256,256,176,177,178");
}

#ifdef VELTA_TABLES_PROGRAM
// Standard output of velta-tables with the given argument; its exit status in status.
std::string RunTables(const std::string& argument, int& status) {
  const test::ProcessResult run = test::Run(test::Command({VELTA_TABLES_PROGRAM, argument}));
  status = run.status;
  return run.out;
}

TEST(VeltaTables, ExportsTheTellingValuesOfTheBuiltInTables) {
  int status = -1;
  const auto tone = Lines(RunTables("tone", status));
  EXPECT_EQ(status, 0);
  ASSERT_EQ(tone.size(), 1u + 2 * 768);
  EXPECT_EQ(tone[0], "table,plane,input,energy");
  for (const char* line :
       {"Zorv_K40_Normal,0,0,235", "Zorv_K40_Normal,1,128,131", "Zorv_K40_Normal,2,253,51",
        "Zorv_K40_HighQuality,0,0,239", "Zorv_K40_HighQuality,2,32,202", "Zorv_K40_HighQuality,1,255,26"})
    EXPECT_NE(std::find(tone.begin(), tone.end(), line), tone.end()) << line;

  const auto dmap = Lines(RunTables("directmap", status));
  EXPECT_EQ(status, 0);
  ASSERT_EQ(dmap.size(), 1u + 729);
  EXPECT_EQ(dmap[0], "r_node,g_node,b_node,r_in,g_in,b_in,r_out,g_out,b_out");
  for (const char* line : {"8,0,0,256,0,0,226,20,0", "0,8,8,0,256,256,61,255,193", "3,3,3,96,96,96,98,98,98",
                           "0,5,0,0,160,0,38,238,0", "8,8,8,256,256,256,255,255,255"})
    EXPECT_NE(std::find(dmap.begin(), dmap.end(), line), dmap.end()) << line;

  const auto all = Lines(RunTables("all", status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(all.size(), tone.size() + 1 + dmap.size());  // an empty line between the two
  RunTables("colours", status);
  EXPECT_NE(status, 0);
}
#endif

}  // namespace
}  // namespace velta
