// A private folder under /tmp that is removed with everything in it.
#pragma once

#include <string>

namespace velta::apptest {

// Creates /tmp/PREFIX.XXXXXX (mode 0755, so spooler filters running as lp can
// read it) and removes it again on destruction.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLocalPort();

// True once something accepts connections on 127.0.0.1:port, waiting at most timeout_ms.
bool WaitForPort(int port, int timeout_ms);

// Runs a command line through /bin/sh and returns its standard output; exit
// status in status (written).
std::string RunCommand(const std::string& command, int& status);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace velta::apptest
