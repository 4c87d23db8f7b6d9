// Runs the filter and the raster maker as child processes for the tests.
#include "filter_process.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velta::test {

struct ChildProcess::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::string out, err;
};

namespace {

// Appends everything read from fd to text until end of file.
void Drain(int fd, std::string& text, std::mutex& mutex, std::condition_variable& changed) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::lock_guard lock(mutex);
    text.append(buffer, static_cast<std::size_t>(n));
    changed.notify_all();
  }
  close(fd);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const std::string& stdout_path)
    : shared_(new Shared) {
  int in[2], out[2], err[2];
  // Close-on-exec, so that a child started meanwhile from another thread does
  // not keep this child's input open.
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  std::vector<char*> c_argv, c_env;
  for (const auto& a : argv) c_argv.push_back(const_cast<char*>(a.c_str()));
  c_argv.push_back(nullptr);
  for (const auto& e : env) c_env.push_back(const_cast<char*>(e.c_str()));
  c_env.push_back(nullptr);
  const int file_out =
      stdout_path.empty() ? -1 : open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(file_out >= 0 ? file_out : out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], file_out})
      if (fd > 2) close(fd);
    // The child starts with SIGTERM at its default, as under the spooler.
    signal(SIGTERM, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    execve(c_argv[0], c_argv.data(), c_env.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (file_out >= 0) close(file_out);
  in_fd_ = in[1];
  out_reader_ =
      std::thread(Drain, out[0], std::ref(shared_->out), std::ref(shared_->mutex), std::ref(shared_->changed));
  err_reader_ =
      std::thread(Drain, err[0], std::ref(shared_->err), std::ref(shared_->mutex), std::ref(shared_->changed));
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) Finish();
  delete shared_;
}

void ChildProcess::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && in_fd_ >= 0) {
    const ssize_t n = write(in_fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the child stopped reading
    done += static_cast<std::size_t>(n);
  }
}

void ChildProcess::CloseInput() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

bool ChildProcess::WaitForError(const std::string& text, int timeout_ms) {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [&] { return shared_->err.find(text) != std::string::npos; });
}

bool ChildProcess::WaitForOutput(std::size_t count, int timeout_ms) {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [&] { return shared_->out.size() >= count; });
}

void ChildProcess::Signal(int sig) { kill(pid_, sig); }

ProcessResult ChildProcess::Finish() {
  CloseInput();
  ProcessResult result;
  int wstatus = 0;
  while (waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  out_reader_.join();
  err_reader_.join();
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.out = shared_->out;
  result.err = shared_->err;
  return result;
}

std::vector<std::string> FilterEnvironment(const std::string& ppd_path) {
  std::vector<std::string> env{"PATH=/usr/bin:/bin"};
  if (!ppd_path.empty()) env.push_back("PPD=" + ppd_path);
  return env;
}

ProcessResult RunFilter(const std::vector<std::string>& args, const std::string& input, const std::string& ppd_path) {
  std::vector<std::string> argv{RASTERTOVELTA_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  // The tests' own process must survive a child that stops reading early.
  signal(SIGPIPE, SIG_IGN);
  ChildProcess child(argv, FilterEnvironment(ppd_path));
  child.Write(input);
  return child.Finish();
}

std::vector<std::string> JobArgs(const std::string& options) { return {"42", "tester", "test page", "1", options}; }

std::string MakeRaster(const std::vector<std::string>& args) {
  std::vector<std::string> argv{MKRASTER_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv, {});
  ProcessResult made = child.Finish();
  if (made.status != 0) throw std::runtime_error("velta-mkraster failed: " + made.err);
  return made.out;
}

std::string WriteTempFile(const std::string& name, const std::string& text) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string path =
      std::string(tmp ? tmp : "/tmp") + "/velta-filter-test-" + std::to_string(getpid()) + "-" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace velta::test
