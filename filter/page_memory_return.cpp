#include "filter/page_memory_return.h"

#include <sys/mman.h>
#include <unistd.h>

namespace velta {
namespace {

// The system's page size, a power of two.
uintptr_t SystemPageSize() {
  static const auto size = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  return size;
}

}  // namespace

PageMemoryReturn::PageMemoryReturn(uint8_t* page, std::size_t stride, std::size_t step)
    : page_(page), stride_(stride), step_(step) {
  // Only whole system pages inside the buffer can go back: start at the first
  // page boundary at or after the buffer's start.
  const uintptr_t mask = SystemPageSize() - 1;
  returned_ = (reinterpret_cast<uintptr_t>(page) + mask) & ~mask;
}

void PageMemoryReturn::RowsDone(std::size_t rows) {
  const uintptr_t end = (reinterpret_cast<uintptr_t>(page_ + rows * stride_)) & ~(SystemPageSize() - 1);
  if (end <= returned_ || end - returned_ < step_) return;
  // The pages stay mapped and read as zeros if touched again; nothing reads
  // them before the buffer is freed. A refusal only keeps the memory.
  if (madvise(reinterpret_cast<void*>(returned_), end - returned_, MADV_DONTNEED) == 0) returned_ = end;
}

void PageMemoryReturn::Notify(void* context, std::size_t rows) {
  static_cast<PageMemoryReturn*>(context)->RowsDone(rows);
}

}  // namespace velta
