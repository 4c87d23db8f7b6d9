// A private CUPS daemon on 127.0.0.1 for driverless queue tests.
#include "tests/app/cups_daemon.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace velta::apptest {

namespace {

// Waits up to timeout_ms for child pid to end; true when it has been reaped.
bool ReapWithin(pid_t pid, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 20) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

CupsDaemon::CupsDaemon() : folder_("velta-cupsd-test") {
  const std::string root = folder_.path();
  for (const char* sub : {"/etc", "/spool", "/tmp", "/cache", "/state", "/log"}) mkdir((root + sub).c_str(), 0755);
  port_ = FreeLocalPort();
  std::ofstream(root + "/etc/cupsd.conf")
      << "LogLevel debug\nListen 127.0.0.1:" << port_ << "\nBrowsing No\nDefaultAuthType None\n"
      << "DefaultPolicy open\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
      << "<Policy open>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n</Policy>\n";
  std::ofstream(root + "/etc/cups-files.conf")
      << "ServerRoot " << root << "/etc\nRequestRoot " << root << "/spool\nTempDir " << root << "/tmp\n"
      << "CacheDir " << root << "/cache\nStateDir " << root << "/state\nErrorLog " << root << "/log/error_log\n"
      << "AccessLog " << root << "/log/access_log\nPageLog " << root << "/log/page_log\n"
      << "Sandboxing Relaxed\nSystemGroup root\n";
  const std::string conf = root + "/etc/cupsd.conf";
  const std::string files = root + "/etc/cups-files.conf";
  pid_ = fork();
  if (pid_ == 0) {
    freopen("/dev/null", "r", stdin);
    freopen((root + "/log/cupsd.out").c_str(), "w", stdout);
    execlp("cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0 || !WaitForPort(port_, 10000)) Stop();
}

CupsDaemon::~CupsDaemon() { Stop(); }

void CupsDaemon::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!ReapWithin(pid_, 5000)) {
    kill(pid_, SIGKILL);
    ReapWithin(pid_, 5000);
  }
  pid_ = -1;
}

}  // namespace velta::apptest
