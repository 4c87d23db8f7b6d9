#include "filter/mapped_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace velta {

MappedBuffer::MappedBuffer(MappedBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}

MappedBuffer& MappedBuffer::operator=(MappedBuffer&& other) noexcept {
  if (this != &other) {
    reset();
    data_ = std::exchange(other.data_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

MappedBuffer MappedBuffer::Allocate(std::size_t bytes) {
  MappedBuffer buffer;
  const std::size_t size = bytes == 0 ? 1 : bytes;
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return buffer;
  buffer.data_ = static_cast<uint8_t*>(memory);
  buffer.mapped_ = size;
  return buffer;
}

void MappedBuffer::reset() {
  // Pages moved out of the range leave holes, which unmapping skips.
  if (data_ != nullptr) munmap(data_, mapped_);
  data_ = nullptr;
  mapped_ = 0;
}

}  // namespace velta
