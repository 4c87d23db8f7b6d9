// The blank-half test of a full 6x8 sheet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velta {

// The height of a full 6x8 sheet at 300 dpi, the only page height tested.
inline constexpr uint32_t kBlankHalfTestRows = 2492;

// The upper half the test looks at ends before row 1245 (that row is never
// looked at); the lower half is rows 1246 to 2491.
inline constexpr std::size_t kUpperRowsTested = 1245;
inline constexpr std::size_t kLowerHalfFirstRow = 1246;
inline constexpr std::size_t kLowerHalfRows = 1246;

// The test as the rows of a page come in: it notes whether each half is
// still all white (255) as its rows become final, and once the page is
// complete gives SpaceFlag: 0 when a half is blank, 1 otherwise and for every
// other height. When the upper half (rows 0 to 1244) is blank, rows 1246 to
// 2491 are copied over rows 0 to 1245, so the picture is printed at the top
// of the sheet.
class BlankHalfWatch {
 public:
  BlankHalfWatch(const uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height);

  // Rows [0, rows) are final, as read (rising counts).
  void RowsFinal(std::size_t rows);
  // Tells whether the test may yet move the lower half up: the page is a full
  // sheet and its upper rows seen so far are white. Work that moves rows
  // between rows waits while this holds.
  bool MayMoveLowerHalfUp() const { return tested_ && upperBlank_; }
  // Once every row is final: moves the lower half up when the upper one is
  // blank (page written) and returns SpaceFlag.
  int Result(uint8_t* page) const;

 private:
  const uint8_t* page_;
  std::size_t width_DIB_, pixelBytes_;
  bool tested_;  // a full sheet
  bool upperBlank_ = true, lowerBlank_ = true;
  std::size_t seen_ = 0;
};

// The whole test on a page that is complete: returns SpaceFlag.
int BlankHalfTest(uint8_t* page, std::size_t width_DIB, uint32_t width, uint32_t height);

}  // namespace velta
