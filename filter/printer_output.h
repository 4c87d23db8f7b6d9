// The printer's byte stream: buffered writes to a descriptor that always finish.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velta {

// Buffers printer data and writes it with write(2). A write interrupted by a
// signal is resumed, so a command or data block that has begun always reaches
// the printer whole. The first failure is kept; later writes do nothing.
class PrinterOutput {
 public:
  // Writes to fd (standard output in the filter) through a buffer of buffer_size bytes.
  explicit PrinterOutput(int fd, std::size_t buffer_size = 64 * 1024);

  // Queues bytes; blocks larger than the buffer go straight out. False on failure.
  bool Write(std::span<const uint8_t> bytes);

  // Writes everything queued. False on failure.
  bool Flush();

  // True once a write has failed.
  bool failed() const { return failed_errno_ != 0; }

  // The errno of the first failed write, 0 when none failed.
  int failed_errno() const { return failed_errno_; }

 private:
  // Writes all of bytes to the descriptor, resuming after EINTR and short writes.
  bool WriteAll(const uint8_t* bytes, std::size_t count);

  int fd_;
  std::vector<uint8_t> buffer_;
  std::size_t used_ = 0;
  int failed_errno_ = 0;
};

}  // namespace velta
