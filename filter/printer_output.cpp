// The printer's byte stream: buffered writes to a descriptor that always finish.
#include "filter/printer_output.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace velta {

PrinterOutput::PrinterOutput(int fd, std::size_t buffer_size) : fd_(fd), buffer_(buffer_size) {}

bool PrinterOutput::Write(std::span<const uint8_t> bytes) {
  if (failed()) return false;
  if (bytes.empty()) return true;
  if (bytes.size() > buffer_.size() - used_) {
    if (!Flush()) return false;
    if (bytes.size() > buffer_.size()) return WriteAll(bytes.data(), bytes.size());
  }
  std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return true;
}

bool PrinterOutput::Flush() {
  if (failed()) return false;
  const std::size_t count = used_;
  used_ = 0;
  return WriteAll(buffer_.data(), count);
}

bool PrinterOutput::WriteAll(const uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd_, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;  // SIGTERM: finish the block, the caller cancels after it
      failed_errno_ = errno != 0 ? errno : EIO;
      return false;
    }
    if (written == 0) {
      failed_errno_ = EIO;
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace velta
