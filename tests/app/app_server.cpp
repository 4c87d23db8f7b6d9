// The printer application run as a private server for one test program.
#include "tests/app/app_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace velta::apptest {

namespace {

// The address 127.0.0.1:port.
sockaddr_in LocalAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
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

int FreeLocalPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = LocalAddress(0);
  socklen_t length = sizeof address;
  const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (fd >= 0) close(fd);
  return bound ? ntohs(address.sin_port) : -1;
}

bool WaitForPort(int port, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LocalAddress(port);
    const bool up = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

AppServer::AppServer(const std::string& app_binary) : folder_("velta-app-test") {
  mkdir(device_folder().c_str(), 0755);
  program_ = folder_.path() + "/velta-app-test-" + std::to_string(getpid());
  if (symlink(app_binary.c_str(), program_.c_str()) != 0) return;
  port_ = FreeLocalPort();
  test::Command server({program_, "server", "-o", "server-port=" + std::to_string(port_), "-o",
                        "listen-hostname=127.0.0.1", "-o", "state-directory=" + folder_.File("state"), "-o",
                        "log-file=" + folder_.File("app.log"), "-o", "log-level=info"});
  server.stdin_file = "/dev/null";
  server.stdout_file = folder_.File("server.out");
  server.stderr_file = folder_.File("server.err");
  server_ = std::make_unique<test::ChildProcess>(server);
  if (!WaitForPort(port_, 10000)) Stop();
}

AppServer::~AppServer() { Stop(); }

void AppServer::Stop() {
  if (server_ && server_->running()) server_->Stop();
  // PAPPL leaves its local socket behind; it carries this program's own name.
  if (!program_.empty()) unlink(("/run/" + program_.substr(program_.rfind('/') + 1) + ".sock").c_str());
}

std::string AppServer::PrinterUri(const std::string& name) const {
  return "ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/print/" + name;
}

bool AppServer::AddPrinter(const std::string& name) {
  return RunShell("'" + program_ + "' add -u ipp://127.0.0.1:" + std::to_string(port_) + "/ipp/system -d " + name +
                  " -m velta_photo -v file://" + device_folder() + " 2>&1")
             .status == 0;
}

test::ProcessResult AppServer::RunIpptool(const std::string& uri, const std::string& body) {
  static std::atomic<int> serial = 0;
  const std::string test_file = folder_.path() + "/request" + std::to_string(++serial) + ".test";
  std::ofstream(test_file) << "{\n" << body << "}\n";
  test::ProcessResult run = RunShell("ipptool -T 30 -tv '" + uri + "' '" + test_file + "' 2>&1");
  unlink(test_file.c_str());
  return run;
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
  const test::ProcessResult run = RunIpptool(PrinterUri(printer), body);
  const std::string id = ShownValue(run.out, "job-id");
  return run.status == 0 && !id.empty() ? std::stoi(id) : 0;
}

std::string AppServer::WaitForJob(const std::string& printer, int job_id, int timeout_ms) {
  std::string body = "  OPERATION Get-Job-Attributes\n";
  body += kOperationStart;
  body += "  ATTR integer job-id " + std::to_string(job_id) + "\n";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string state = ShownValue(RunIpptool(PrinterUri(printer), body).out, "job-state");
    if (state == "completed" || state == "canceled" || state == "aborted") return state;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return "timeout";
}

int AppServer::ProcessingJob(const std::string& printer) {
  std::string body = "  OPERATION Get-Jobs\n";
  body += kOperationStart;
  body += "  ATTR keyword which-jobs not-completed\n  ATTR keyword requested-attributes job-id,job-state\n";
  const test::ProcessResult run = RunIpptool(PrinterUri(printer), body);
  const std::string id = ShownValue(run.out, "job-id");
  return run.status == 0 && !id.empty() ? std::stoi(id) : 0;
}

int AppServer::UnfinishedJobNamed(const std::string& printer, const std::string& name) {
  std::string body = "  OPERATION Get-Jobs\n";
  body += kOperationStart;
  body += "  ATTR keyword which-jobs not-completed\n  ATTR keyword requested-attributes job-id,job-name\n";
  // ipptool shows each job's attributes between separators, its name first.
  const std::string out = RunIpptool(PrinterUri(printer), body).out;
  const std::size_t at = out.find("job-name (nameWithoutLanguage) = " + name + "\n");
  if (at == std::string::npos) return 0;
  const std::size_t end = out.find("-- separator --", at);
  const std::size_t id = out.find("job-id (integer) = ", at);
  return id < end ? std::stoi(out.substr(id + 19)) : 0;
}

bool AppServer::Cancel(const std::string& printer, int job_id) {
  std::string body = "  OPERATION Cancel-Job\n";
  body += kOperationStart;
  body += "  ATTR integer job-id " + std::to_string(job_id) + "\n  STATUS successful-ok\n";
  return RunIpptool(PrinterUri(printer), body).status == 0;
}

test::ProcessResult AppServer::RunClient(const std::string& arguments) {
  return RunShell("'" + program_ + "' " + arguments + " 2>&1");
}

bool AppServer::SaveDefaultsOnWebPage(const std::string& printer, const std::string& form) {
  const std::string page = "http://127.0.0.1:" + std::to_string(port_) + "/" + printer + "/printing";
  const std::string jar = "'" + folder_.File("cookies") + "'";
  // The form carries the session the page was served with.
  const std::string html = RunShell("curl -s --max-time 10 -c " + jar + " -b " + jar + " " + page).out;
  const std::string marker = "name=\"session\" value=\"";
  const std::size_t at = html.find(marker);
  if (at == std::string::npos) return false;
  const std::string session = html.substr(at + marker.size(), html.find('"', at + marker.size()) - at - marker.size());
  const test::ProcessResult saved = RunShell("curl -s --max-time 10 -c " + jar + " -b " + jar + " --data '" +
                                             "session=" + session + "&" + form + "' " + page);
  return saved.out.find("Changes saved.") != std::string::npos;
}

long AppServer::ResidentKb() const {
  // The server is the one process that runs this test's own link as "server".
  DIR* proc = opendir("/proc");
  long kb = 0;
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    const std::string dir = std::string("/proc/") + entry->d_name;
    const std::string command = ReadFile(dir + "/cmdline");
    const std::string server = program_ + std::string(1, '\0') + "server" + std::string(1, '\0');
    if (command.compare(0, server.size(), server) != 0) continue;
    std::istringstream status(ReadFile(dir + "/status"));
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) kb = std::stol(line.substr(6));
  }
  if (proc) closedir(proc);
  return kb;
}

}  // namespace velta::apptest
