// The printer application run as a private server for one test program.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/process.h"

namespace velta::apptest {

using test::ReadFile;
using test::RunShell;

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLocalPort();

// True once something accepts connections on 127.0.0.1:port, waiting at most timeout_ms.
bool WaitForPort(int port, int timeout_ms);

// A print job as the tests submit it with ipptool.
struct JobRequest {
  std::string file;
  std::string format = "image/pwg-raster";
  std::string name;  // also the output file's name, NAME.prn
  int copies = 1;
  std::string media;                // empty: the printer's default
  std::vector<std::string> vendor;  // ipptool ATTR lines, e.g. "integer brightness 3"
};

// velta-printer-app serving 127.0.0.1 on a free port, with its state, spool,
// log and file device in a private folder. The program runs under a name of
// its own (a symbolic link) so that its local socket does not meet any other
// instance's. Stopped, and its folder removed, on destruction.
class AppServer {
 public:
  explicit AppServer(const std::string& app_binary);
  ~AppServer();
  AppServer(const AppServer&) = delete;
  AppServer& operator=(const AppServer&) = delete;

  // True when the server accepts connections.
  bool running() const { return server_ && server_->running() && port_ > 0; }

  // Adds a printer with a file:/// device writing into device_folder().
  bool AddPrinter(const std::string& name);

  // Submits a job to printer name; returns its job id, or 0 on refusal. PAPPL
  // answers Print-Job only once the job has been processed.
  int Submit(const std::string& printer, const JobRequest& job);

  // Waits until job id on printer reaches a final state and returns that state
  // ("completed", "canceled", "aborted"), or "timeout".
  std::string WaitForJob(const std::string& printer, int job_id, int timeout_ms);

  // The id of the job printer is processing now, or 0 when there is none.
  int ProcessingJob(const std::string& printer);

  // The id of the unfinished job named name on printer, or 0 when there is none.
  int UnfinishedJobNamed(const std::string& printer, const std::string& name);

  // Asks the server to cancel a job; true when it accepted.
  bool Cancel(const std::string& printer, int job_id);

  // Runs the application's client sub-command line `arguments` (already
  // quoted for the shell) against this server; output and errors together.
  test::ProcessResult RunClient(const std::string& arguments);

  // Saves printing defaults on the printer's web page as a browser would:
  // form is the fields, "brightness=5&print-quality=high". True on "Changes saved."
  bool SaveDefaultsOnWebPage(const std::string& printer, const std::string& form);

  // The server's resident memory in KiB, 0 when it cannot be read.
  long ResidentKb() const;

  // The server's log so far.
  std::string Log() const { return ReadFile(folder_.File("app.log")); }

  // Stops the server (SIGTERM, then SIGKILL after 5 s) and removes its socket.
  void Stop();

  int port() const { return port_; }
  std::string PrinterUri(const std::string& name) const;
  std::string device_folder() const { return folder_.path() + "/device"; }
  const std::string& folder() const { return folder_.path(); }

 private:
  // Runs ipptool with a test file of the given body against uri; returns its output.
  test::ProcessResult RunIpptool(const std::string& uri, const std::string& body);

  test::TempFolder folder_;
  std::string program_;  // the symbolic link the server runs as
  int port_ = 0;
  std::unique_ptr<test::ChildProcess> server_;
};

}  // namespace velta::apptest
