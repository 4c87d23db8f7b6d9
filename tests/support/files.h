// Temporary folders and whole-file reads and writes for the tests.
#pragma once

#include <cstddef>
#include <string>

namespace velta::test {

// A folder of its own, PREFIX.XXXXXX under the system's temporary folder (or
// under parent), mode 0755 so that spooler filters running as lp can read it;
// removed with everything in it on destruction.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "velta-test", const std::string& parent = "");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path.
  const std::string& path() const { return path_; }
  // The path of a file named name in the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Writes size bytes at data to a file; false when it cannot.
bool WriteFile(const std::string& path, const void* data, std::size_t size);
template <typename Bytes>
bool WriteFile(const std::string& path, const Bytes& bytes) {
  return WriteFile(path, bytes.data(), bytes.size());
}

// Writes bytes to a file named name in this test program's own temporary
// folder (removed when the program ends) and returns its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes);

}  // namespace velta::test
