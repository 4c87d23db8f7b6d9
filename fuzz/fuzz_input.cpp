// Helpers shared by the fuzz targets: splitting the input and in-memory files.
#include "fuzz_input.h"

#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace velta::fuzz {

uint8_t InputCursor::Byte() { return at_ < data_.size() ? data_[at_++] : 0; }

std::string InputCursor::Text() {
  std::string text;
  while (at_ < data_.size() && data_[at_] != 0) text.push_back(static_cast<char>(data_[at_++]));
  if (at_ < data_.size()) ++at_;
  return text;
}

MemoryFile::MemoryFile(const char* name) : fd_(memfd_create(name, 0)) {
  if (fd_ < 0) std::abort();
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

void MemoryFile::Write(std::span<const uint8_t> bytes) {
  Clear();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  lseek(fd_, 0, SEEK_SET);
}

void MemoryFile::Clear() {
  if (ftruncate(fd_, 0) != 0) std::abort();
  lseek(fd_, 0, SEEK_SET);
}

std::vector<uint8_t> MemoryFile::Read() const {
  const off_t size = lseek(fd_, 0, SEEK_END);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(size < 0 ? 0 : size));
  if (!bytes.empty() && pread(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) std::abort();
  return bytes;
}

}  // namespace velta::fuzz
