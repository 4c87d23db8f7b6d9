// Runs a command through the shell for the tests and keeps what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace velta::test {

// What a finished command left behind.
struct CommandResult {
  int exit_status = -1;  // -1 when it did not end normally
  std::string out;       // standard output
};

// Runs command with /bin/sh and collects its standard output.
inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, n);
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  return result;
}

// Reads a whole file, empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
    std::fclose(f);
  }
  return bytes;
}

// Writes bytes to a file; false when it cannot.
template <typename Bytes>
bool WriteFile(const std::string& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace velta::test
