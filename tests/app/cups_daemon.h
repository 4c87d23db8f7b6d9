// A private CUPS daemon on 127.0.0.1 for driverless queue tests.
#pragma once

#include <memory>
#include <string>

#include "tests/support/files.h"
#include "tests/support/process.h"

namespace velta::apptest {

// cupsd with its own ServerRoot, spool, cache, state and logs in a temporary
// folder (mode 0755), listening on 127.0.0.1 on a free port, open to every
// operation without authentication. Stopped and its folder removed on
// destruction.
class CupsDaemon {
 public:
  CupsDaemon();
  ~CupsDaemon();
  CupsDaemon(const CupsDaemon&) = delete;
  CupsDaemon& operator=(const CupsDaemon&) = delete;

  // True when the daemon accepts connections.
  bool running() const { return daemon_ && daemon_->running(); }

  // "127.0.0.1:PORT", for the -h option of lpadmin and lp.
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

  // The daemon's folder, readable by the filters it runs as lp.
  const std::string& folder() const { return folder_.path(); }

  // Stops the daemon: SIGTERM, then SIGKILL after 5 s.
  void Stop();

 private:
  test::TempFolder folder_;
  int port_ = 0;
  std::unique_ptr<test::ChildProcess> daemon_;
};

}  // namespace velta::apptest
