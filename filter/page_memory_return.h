// Hands the memory of finished page-buffer rows back to the system while the
// renderer fills the send buffer, so that a page's peak memory is about one
// of its two big buffers rather than both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "render/rows_done.h"

namespace velta {

class PageMemoryReturn {
 public:
  // Follows the page buffer at page, rows of stride bytes. Memory goes back
  // in steps of at least step bytes, so the system is asked only a few times
  // a page.
  PageMemoryReturn(uint8_t* page, std::size_t stride, std::size_t step = kDefaultStep);

  // Returns the memory of whole system pages within the first rows rows that
  // has not gone back yet, when there is at least a step of it. Those bytes
  // then read as zero.
  void RowsDone(std::size_t rows);

  // The notice to hand the renderer.
  PageRowsDone Notice() { return {Notify, this}; }

  static constexpr std::size_t kDefaultStep = std::size_t{1} << 20;

 private:
  static void Notify(void* context, std::size_t rows);

  uintptr_t returned_;  // memory before this address has gone back
  uint8_t* page_;
  std::size_t stride_, step_;
};

}  // namespace velta
