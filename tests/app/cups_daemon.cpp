// A private CUPS daemon on 127.0.0.1 for driverless queue tests.
#include "tests/app/cups_daemon.h"

#include <sys/stat.h>

#include <fstream>

#include "tests/app/app_server.h"

namespace velta::apptest {

// Under /tmp whatever TMPDIR says: the filters cupsd runs as lp must reach it.
CupsDaemon::CupsDaemon() : folder_("velta-cupsd-test", "/tmp") {
  const std::string root = folder_.path();
  for (const char* sub : {"/etc", "/spool", "/tmp", "/cache", "/state", "/log"}) mkdir((root + sub).c_str(), 0755);
  // The filters, running as lp, make their temporary files here (pdftopdf does).
  chmod((root + "/tmp").c_str(), 01777);
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
  test::Command cupsd({"cupsd", "-f", "-c", conf, "-s", files});
  cupsd.stdin_file = "/dev/null";
  cupsd.stdout_file = root + "/log/cupsd.out";
  cupsd.stderr_file = root + "/log/cupsd.err";
  daemon_ = std::make_unique<test::ChildProcess>(cupsd);
  if (!WaitForPort(port_, 10000)) Stop();
}

CupsDaemon::~CupsDaemon() { Stop(); }

void CupsDaemon::Stop() {
  if (running()) daemon_->Stop();
}

}  // namespace velta::apptest
