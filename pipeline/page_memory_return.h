// Hands the memory of finished page-buffer rows on while the renderer fills
// the send buffer, so that a page's peak memory is about one of its two big
// buffers rather than both. Where it can, it moves the finished pages under
// send rows the renderer has yet to write, which then need no fresh memory
// (no page faults, no zeroing); otherwise it gives them back to the system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/rows_done.h"

namespace velta {

// Where the memory goes: the page buffer (rows of stride bytes) and the send
// buffer (three planes of width x height bytes), both from MappedBuffer.
struct PageMemoryLayout {
  uint8_t* page;
  std::size_t stride;
  uint8_t* send;
  std::size_t width, height;
};

class PageMemoryReturn {
 public:
  // Without a send buffer in the layout every finished page goes back to the
  // system. Memory moves in steps of at least step bytes, so the system is
  // asked only a few times a page.
  explicit PageMemoryReturn(const PageMemoryLayout& layout, std::size_t step = kDefaultStep);

  // Takes the notice that page rows [0, rows) are finished with and that send
  // rows from sendRowsUntouched on are unwritten in every plane. The finished
  // page bytes then read as zero or are no longer mapped; moved pages hold
  // stale page bytes until the renderer writes their rows.
  void RowsDone(std::size_t rows, std::size_t sendRowsUntouched);

  // The notice to hand the renderer.
  PageRowsDone Notice() { return {Notify, this}; }

  // How many bytes have moved under the send buffer, and gone back.
  std::size_t moved() const { return moved_; }
  std::size_t returned() const { return returned_; }

  static constexpr std::size_t kDefaultStep = std::size_t{1} << 20;

 private:
  static void Notify(void* context, std::size_t rows, std::size_t sendRowsUntouched);
  // Moves up to `bytes` from the front of the finished pages under plane p's
  // untouched rows; returns how many moved.
  std::size_t MoveUnderPlane(std::size_t plane, std::size_t bytes, std::size_t sendRowsUntouched);

  PageMemoryLayout layout_;
  std::size_t step_;
  uintptr_t next_;       // finished page memory before this address has been handed on
  uintptr_t filled_[3];  // send memory of each plane placed up to here
  std::size_t moved_ = 0, returned_ = 0;
};

}  // namespace velta
