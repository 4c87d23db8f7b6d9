#pragma once

#include <cstddef>

namespace velta {

// A notice the renderer gives as it goes down the page, on the thread that
// called it. It tells that the first `rows` rows of the page buffer will not
// be read again, and that no row from `sendRowsUntouched` on, in any of the
// three planes of the send buffer, has been written yet or will be before the
// next notice. The caller may hand the finished rows' memory back, or move
// it under the untouched send rows, so that a page never holds both of its
// big buffers whole. An empty notice does nothing.
struct PageRowsDone {
  void (*notify)(void* context, std::size_t rows, std::size_t sendRowsUntouched) = nullptr;
  void* context = nullptr;

  void operator()(std::size_t rows, std::size_t sendRowsUntouched) const {
    if (notify != nullptr) notify(context, rows, sendRowsUntouched);
  }
};

}  // namespace velta
