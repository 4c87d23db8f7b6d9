// Runs programs as child processes for the tests.
#include "tests/support/process.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// Pointers to the strings, ending in a null pointer, as exec wants them.
std::vector<char*> CStrings(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const auto& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Sets up standard stream fd of the child: from file when named, else from
// the pipe end (which the parent then closes), else closed.
void Connect(posix_spawn_file_actions_t& actions, int fd, const std::string& file, int flags, int pipe_end) {
  if (!file.empty())
    posix_spawn_file_actions_addopen(&actions, fd, file.c_str(), flags, 0644);
  else if (pipe_end >= 0)
    posix_spawn_file_actions_adddup2(&actions, pipe_end, fd);
  else
    posix_spawn_file_actions_addclose(&actions, fd);
}

}  // namespace

ChildProcess::ChildProcess(const Command& command) : shared_(new Shared) {
  // The tests' own process must survive a child that stops reading early.
  std::signal(SIGPIPE, SIG_IGN);
  const bool pipe_in = command.stdin_file.empty() && !command.stdin_closed;
  const bool pipe_out = command.stdout_file.empty(), pipe_err = command.stderr_file.empty();
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if ((pipe_in && pipe2(in, O_CLOEXEC) != 0) || (pipe_out && pipe2(out, O_CLOEXEC) != 0) ||
      (pipe_err && pipe2(err, O_CLOEXEC) != 0))
    throw std::runtime_error("pipe2");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  Connect(actions, 0, command.stdin_file, O_RDONLY, in[0]);
  Connect(actions, 1, command.stdout_file, O_WRONLY | O_CREAT | O_TRUNC, out[1]);
  Connect(actions, 2, command.stderr_file, O_WRONLY | O_CREAT | O_TRUNC, err[1]);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> argv = CStrings(command.argv), env;
  if (command.env) env = CStrings(*command.env);
  const int spawned =
      posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), command.env ? env.data() : environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {in[0], out[1], err[1]})
    if (fd >= 0) close(fd);
  if (spawned != 0) {
    pid_ = -1;
    for (int fd : {in[1], out[0], err[0]})
      if (fd >= 0) close(fd);
    throw std::runtime_error("cannot start " + command.argv.at(0));
  }
  in_fd_ = in[1];
  if (pipe_out)
    out_reader_ =
        std::thread(Drain, out[0], std::ref(shared_->out), std::ref(shared_->mutex), std::ref(shared_->changed));
  if (pipe_err)
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

void ChildProcess::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

ProcessResult ChildProcess::Reap(int options) {
  ProcessResult result;
  int wstatus = 0;
  rusage usage{};
  pid_t ended;
  while ((ended = wait4(pid_, &wstatus, options, &usage)) < 0 && errno == EINTR) {
  }
  if (ended != pid_) return result;  // still running (WNOHANG)
  pid_ = -1;
  if (out_reader_.joinable()) out_reader_.join();
  if (err_reader_.joinable()) err_reader_.join();
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.peak_rss_kb = usage.ru_maxrss;
  result.out = shared_->out;
  result.err = shared_->err;
  return result;
}

ProcessResult ChildProcess::Finish() {
  CloseInput();
  return pid_ > 0 ? Reap(0) : ProcessResult{};
}

ProcessResult ChildProcess::Stop(int grace_ms) {
  CloseInput();
  Signal(SIGTERM);
  for (int waited = 0; pid_ > 0 && waited < grace_ms; waited += 20) {
    ProcessResult result = Reap(WNOHANG);
    if (pid_ <= 0) return result;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Signal(SIGKILL);
  return Finish();
}

ProcessResult Run(const Command& command, const std::string& input) {
  ChildProcess child(command);
  child.Write(input);
  return child.Finish();
}

ProcessResult RunShell(const std::string& line) { return Run(Command({"/bin/sh", "-c", line})); }

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(prefix)) lines.push_back(line);
  return lines;
}

}  // namespace velta::test
