#include "pipeline/page_memory_return.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace velta {
namespace {

// The system's page size, a power of two.
uintptr_t SystemPageSize() {
  static const auto size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return size;
}

uintptr_t PageDown(uintptr_t address) { return address & ~(SystemPageSize() - 1); }
uintptr_t PageUp(uintptr_t address) { return PageDown(address + SystemPageSize() - 1); }
uintptr_t Address(const uint8_t* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

}  // namespace

PageMemoryReturn::PageMemoryReturn(const PageMemoryLayout& layout, std::size_t step)
    : layout_(layout), step_(step), next_(PageUp(Address(layout.page))) {
  for (uintptr_t& filled : filled_) filled = 0;
}

std::size_t PageMemoryReturn::MoveUnderPlane(std::size_t plane, std::size_t bytes, std::size_t sendRowsUntouched) {
#if defined(__linux__)
  const uint8_t* planeStart = layout_.send + plane * layout_.width * layout_.height;
  // Only whole pages of the plane's unwritten rows: never the page that holds
  // a written row, nor the page the next plane begins in.
  const uintptr_t begin = std::max(filled_[plane], PageUp(Address(planeStart + sendRowsUntouched * layout_.width)));
  const uintptr_t end = PageDown(Address(planeStart + layout_.height * layout_.width));
  if (begin >= end) return 0;
  const std::size_t size = std::min<std::size_t>(bytes, end - begin);
  // The page table entries move; the pages keep their contents, which the
  // renderer overwrites.
  void* target =
      mremap(reinterpret_cast<void*>(next_), size, size, MREMAP_MAYMOVE | MREMAP_FIXED, reinterpret_cast<void*>(begin));
  if (target == MAP_FAILED) return 0;
  filled_[plane] = begin + size;
  return size;
#else
  (void)plane, (void)bytes, (void)sendRowsUntouched;
  return 0;
#endif
}

void PageMemoryReturn::RowsDone(std::size_t rows, std::size_t sendRowsUntouched) {
  const uintptr_t end = PageDown(Address(layout_.page + rows * layout_.stride));
  if (end <= next_ || end - next_ < step_) return;
  if (layout_.send != nullptr) {
    // A third to each plane, whole pages, in plane order.
    const std::size_t share = PageDown((end - next_) / 3);
    for (std::size_t plane = 0; plane < 3 && share > 0; ++plane) {
      const std::size_t moved = MoveUnderPlane(plane, share, sendRowsUntouched);
      next_ += moved;
      moved_ += moved;
    }
  }
  // The rest goes back. The pages stay mapped and read as zeros if touched
  // again; nothing reads them before the buffer is freed. A refusal only
  // keeps the memory.
  if (end > next_ && madvise(reinterpret_cast<void*>(next_), end - next_, MADV_DONTNEED) == 0) {
    returned_ += end - next_;
    next_ = end;
  }
}

void PageMemoryReturn::Notify(void* context, std::size_t rows, std::size_t sendRowsUntouched) {
  static_cast<PageMemoryReturn*>(context)->RowsDone(rows, sendRowsUntouched);
}

}  // namespace velta
