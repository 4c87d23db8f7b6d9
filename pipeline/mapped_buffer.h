// A page-sized buffer taken straight from the system in whole memory pages,
// so that its pages can be handed back, or moved into another such buffer,
// one by one while it is in use.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velta {

class MappedBuffer {
 public:
  MappedBuffer() = default;
  ~MappedBuffer() { reset(); }
  MappedBuffer(MappedBuffer&& other) noexcept;
  MappedBuffer& operator=(MappedBuffer&& other) noexcept;
  MappedBuffer(const MappedBuffer&) = delete;
  MappedBuffer& operator=(const MappedBuffer&) = delete;

  // Returns a buffer of bytes bytes (at least one) with unspecified contents,
  // followed directly by an inaccessible memory page; empty when memory is
  // short.
  static MappedBuffer Allocate(std::size_t bytes);

  uint8_t* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }
  // Gives the memory back; the buffer is empty afterwards.
  void reset();

 private:
  uint8_t* base_ = nullptr;  // start of the mapping
  uint8_t* data_ = nullptr;
  std::size_t mapped_ = 0;  // bytes mapped, guard page included
};

}  // namespace velta
