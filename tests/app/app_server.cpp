// The printer application run as a private server for one test program.
#include "tests/app/app_server.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
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

// The value of "NAME (type) = value" in ipptool -v output, or empty.
std::string ShownValue(const std::string& output, const std::string& name) {
  for (std::size_t at = output.find(name + " ("); at != std::string::npos; at = output.find(name + " (", at + 1)) {
    const std::size_t close = output.find(')', at + name.size() + 2);
    const std::size_t end = output.find('\n', at);
    if (close == std::string::npos || (end != std::string::npos && close > end)) continue;
    if (output.compare(close + 1, 3, " = ") != 0) continue;
    return output.substr(close + 4, end == std::string::npos ? std::string::npos : end - close - 4);
  }
  return std::string();
}

// The operation attributes every request starts with.
const char* kOperationStart =
    "  GROUP operation-attributes-tag\n"
    "  ATTR charset attributes-charset utf-8\n"
    "  ATTR naturalLanguage attributes-natural-language en\n"
    "  ATTR uri printer-uri $uri\n"
    "  ATTR name requesting-user-name tester\n";

}  // namespace

AppServer::AppServer(const std::string& app_binary) : folder_("velta-app-test") {
  mkdir(device_folder().c_str(), 0755);
  program_ = folder_.path() + "/velta-app-test-" + std::to_string(getpid());
  if (symlink(app_binary.c_str(), program_.c_str()) != 0) return;
  port_ = FreeLocalPort();
  const std::string port_option = "server-port=" + std::to_string(port_);
  const std::string state_option = "state-directory=" + folder_.path() + "/state";
  const std::string log_option = "log-file=" + folder_.path() + "/app.log";
  pid_ = fork();
  if (pid_ == 0) {
    freopen("/dev/null", "r", stdin);
    execl(program_.c_str(), program_.c_str(), "server", "-o", port_option.c_str(), "-o", "listen-hostname=127.0.0.1",
          "-o", state_option.c_str(), "-o", log_option.c_str(), "-o", "log-level=info", static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0 || !WaitForPort(port_, 10000)) Stop();
}

AppServer::~AppServer() { Stop(); }

void AppServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!ReapWithin(pid_, 5000)) {
      kill(pid_, SIGKILL);
      ReapWithin(pid_, 5000);
    }
    pid_ = -1;
  }
  // PAPPL leaves its local socket behind; it carries this program's own name.
  if (!program_.empty()) unlink(("/run/" + program_.substr(program_.rfind('/') + 1) + ".sock").c_str());
}

std::string AppServer::PrinterUri(const std::string& name) const {
  return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/print/" + name;
}

bool AppServer::AddPrinter(const std::string& name) {
  int status = 0;
  RunCommand("'" + program_ + "' add -u ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/system -d " + name +
                 " -m velta_photo -v file://" + device_folder() + " 2>&1",
             status);
  return status == 0;
}

std::string AppServer::RunIpptool(const std::string& uri, const std::string& body, int& status) {
  static std::atomic<int> serial = 0;
  const std::string test_file = folder_.path() + "/request" + std::to_string(++serial) + ".test";
  std::ofstream(test_file) << "{\n" << body << "}\n";
  const std::string output = RunCommand("ipptool -T 30 -tv '" + uri + "' '" + test_file + "' 2>&1", status);
  unlink(test_file.c_str());
  return output;
}

int AppServer::Submit(const std::string& printer, const JobRequest& job) {
  std::string body = "  OPERATION Print-Job\n";
  body += kOperationStart;
  body += "  ATTR mimeMediaType document-format " + job.format + "\n";
  body += "  ATTR name job-name " + job.name + "\n";
  body += "  GROUP job-attributes-tag\n";
  body += "  ATTR integer copies " + std::to_string(job.copies) + "\n";
  if (!job.media.empty()) body += "  ATTR keyword media " + job.media + "\n";
  for (const std::string& attribute : job.vendor) body += "  ATTR " + attribute + "\n";
  body += "  FILE " + job.file + "\n  STATUS successful-ok\n";
  int status = 0;
  const std::string output = RunIpptool(PrinterUri(printer), body, status);
  const std::string id = ShownValue(output, "job-id");
  return status == 0 && !id.empty() ? std::stoi(id) : 0;
}

std::string AppServer::WaitForJob(const std::string& printer, int job_id, int timeout_ms) {
  std::string body = "  OPERATION Get-Job-Attributes\n";
  body += kOperationStart;
  body += "  ATTR integer job-id " + std::to_string(job_id) + "\n";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const std::string state = ShownValue(RunIpptool(PrinterUri(printer), body, status), "job-state");
    if (state == "completed" || state == "canceled" || state == "aborted") return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "timeout";
}

int AppServer::ProcessingJob(const std::string& printer) {
  std::string body = "  OPERATION Get-Jobs\n";
  body += kOperationStart;
  body += "  ATTR keyword which-jobs not-completed\n  ATTR keyword requested-attributes job-id,job-state\n";
  int status = 0;
  const std::string output = RunIpptool(PrinterUri(printer), body, status);
  const std::string id = ShownValue(output, "job-id");
  return status == 0 && !id.empty() ? std::stoi(id) : 0;
}

bool AppServer::Cancel(const std::string& printer, int job_id) {
  std::string body = "  OPERATION Cancel-Job\n";
  body += kOperationStart;
  body += "  ATTR integer job-id " + std::to_string(job_id) + "\n  STATUS successful-ok\n";
  int status = 0;
  RunIpptool(PrinterUri(printer), body, status);
  return status == 0;
}

}  // namespace velta::apptest
