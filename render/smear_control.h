#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/cancel_check.h"
#include "render/rows_done.h"

// The smear control: turns the colour-corrected page buffer into the three
// head-data planes, correcting every energy for the heat that the same head
// position kept from the rows printed before it.
namespace velta {

// Fills the 768-byte tone table hotlut for the print mode (non-zero: high
// quality), indexed by source channel: hotlut[256 c + v] is the energy for
// value v of channel c (0 red, 1 green, 2 blue). Returns 1.
int GetSmearlut(uint8_t* hotlut, int iPrintMode);

// Returns the sharpness index 1..8 for a sharpness setting of -3..4, and 0
// (no sharpening) for every other setting.
int SharpnessIndex(int16_t caSharpness);

// Renders the page buffer pSrcBitmap (biHeight rows of biWidth RGB pixels,
// row stride (3 biWidth + 3) & ~3) through the tone table lpToneCurve into
// pSendData: three planes of biWidth x biHeight bytes, plane 0 from blue,
// 1 from green, 2 from red. Reseeds the process-wide random source. Returns 0
// when the page is rendered, 1 when cancelled() turned true (asked before
// every row; the planes are then incomplete), -1 when the heat histories
// cannot be allocated, and -2 when a helper thread failed. rowsDone hears, on the calling thread, how many leading
// rows of the page buffer are finished with, every few rows.
int SmearControl(const uint8_t* pSrcBitmap, uint32_t biWidth, uint32_t biHeight, const uint8_t* lpToneCurve,
                 uint8_t* pSendData, int iPrintMode, int16_t caSharpness, const CancelCheck& cancelled = {},
                 const PageRowsDone& rowsDone = {});

// The same rendering row by row as the page's rows become final, so that rows
// can be rendered while later page rows are still coming in: Start seeds the
// random source and allocates; RowsFinal says how many leading page rows are
// final; WorkAhead renders, on the calling thread, the next batch of rows whose
// page rows are all final; Finish renders the rest once every page row is
// final, as SmearControl does (on two threads when the variant has them). The
// calls come one at a time, on any thread, and rowsDone hears on the thread of
// each. The planes are the same bytes as SmearControl's.
class SmearControlByRows {
 public:
  SmearControlByRows(const uint8_t* pSrcBitmap, uint32_t biWidth, uint32_t biHeight, const uint8_t* lpToneCurve,
                     uint8_t* pSendData, int iPrintMode, int16_t caSharpness, const PageRowsDone& rowsDone = {});
  ~SmearControlByRows();
  SmearControlByRows(const SmearControlByRows&) = delete;
  SmearControlByRows& operator=(const SmearControlByRows&) = delete;

  // Seeds the random source and allocates the histories and work rows;
  // returns 0, or -1 when memory is short (then nothing else may be called).
  int Start();
  // Page rows [0, rows) are final.
  void RowsFinal(std::size_t rows);
  // Renders the next batch of rows if its page rows are all final; false
  // when there is none.
  bool WorkAhead();
  // Renders the rest once every page row is final: 0 when done, 1 when
  // cancelled() turned true (asked before every row), -2 when the helper
  // thread failed (the planes are then incomplete).
  int Finish(const CancelCheck& cancelled);

 private:
  struct State;
  PageRowsDone rowsDone_;
  bool sharpening_;
  std::size_t finalRows_ = 0;
  std::unique_ptr<State> state_;
};

}  // namespace velta
