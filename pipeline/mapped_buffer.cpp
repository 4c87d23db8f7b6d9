#include "pipeline/mapped_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

namespace velta {

MappedBuffer::MappedBuffer(MappedBuffer&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)),
      data_(std::exchange(other.data_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)) {}

MappedBuffer& MappedBuffer::operator=(MappedBuffer&& other) noexcept {
  if (this != &other) {
    reset();
    base_ = std::exchange(other.base_, nullptr);
    data_ = std::exchange(other.data_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

MappedBuffer MappedBuffer::Allocate(std::size_t bytes) {
  MappedBuffer buffer;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t size = bytes == 0 ? 1 : bytes;
  if (size > SIZE_MAX - 2 * page) return buffer;
  const std::size_t span = (size + page - 1) / page * page + page;
  void* memory = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return buffer;
  auto* base = static_cast<uint8_t*>(memory);
  // The buffer ends where an inaccessible page begins, so that a write or a
  // read past its end stops the program at once rather than going unnoticed.
  if (mprotect(base + span - page, page, PROT_NONE) != 0) {
    munmap(memory, span);
    return buffer;
  }
  buffer.base_ = base;
  buffer.mapped_ = span;
  buffer.data_ = base + span - page - size;
  return buffer;
}

void MappedBuffer::reset() {
  // Pages moved out of the range leave holes, which unmapping skips.
  if (base_ != nullptr) munmap(base_, mapped_);
  base_ = data_ = nullptr;
  mapped_ = 0;
}

}  // namespace velta
