// Temporary folders and whole-file reads and writes for the tests.
#include "tests/support/files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <sys/stat.h>

namespace velta::test {

TempFolder::TempFolder(const std::string& prefix, const std::string& parent) {
  const std::string base = parent.empty() ? std::filesystem::temp_directory_path().string() : parent;
  std::string pattern = base + "/" + prefix + ".XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
  path_ = pattern;
  chmod(path_.c_str(), 0755);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

bool WriteFile(const std::string& path, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  static const TempFolder folder("velta-test-files");
  const std::string path = folder.File(name);
  if (!WriteFile(path, bytes)) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace velta::test
