// A private folder for a test's files, removed when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace velta::test {

// A folder of its own under the system's temporary folder.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velta-tools-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, empty when it could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace velta::test
