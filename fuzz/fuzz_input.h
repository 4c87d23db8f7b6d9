// Helpers shared by the fuzz targets: splitting the input and in-memory files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velta::fuzz {

// Reads the input front to back.
class InputCursor {
 public:
  explicit InputCursor(std::span<const uint8_t> data) : data_(data) {}

  // The next byte, 0 once the input is used up.
  uint8_t Byte();
  // The bytes up to the next zero byte (which is skipped), or all that is left.
  std::string Text();
  // Everything not read yet.
  std::span<const uint8_t> Rest() const { return data_.subspan(at_); }

 private:
  std::span<const uint8_t> data_;
  std::size_t at_ = 0;
};

// An anonymous in-memory file that lives as long as the process; every Write
// replaces its content. Its path (/proc/self/fd/N) can be opened like a file.
class MemoryFile {
 public:
  explicit MemoryFile(const char* name);

  // Replaces the content with bytes and rewinds.
  void Write(std::span<const uint8_t> bytes);
  // Empties the file and rewinds, ready to be written by someone else.
  void Clear();
  // The whole content.
  std::vector<uint8_t> Read() const;
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace velta::fuzz
