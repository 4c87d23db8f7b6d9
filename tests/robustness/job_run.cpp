// Runs the filter as a process with its standard input taken from a file, or
// closed, and reads back what it wrote.
#include "job_run.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velta::robustness {

namespace {

// The folder for this test program's files, removed when the program ends.
std::string TempFolder() {
  struct Folder {
    std::string path;
    ~Folder() { std::filesystem::remove_all(path); }
  };
  const char* tmp = std::getenv("TMPDIR");
  static const Folder folder{std::string(tmp ? tmp : "/tmp") + "/velta-robustness-" + std::to_string(getpid())};
  return folder.path;
}

// A whole file, empty when it cannot be read.
std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Starts argv with the environment env and the three standard streams set up by actions.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const posix_spawn_file_actions_t& actions) {
  std::vector<char*> c_argv, c_env;
  for (const auto& a : argv) c_argv.push_back(const_cast<char*>(a.c_str()));
  c_argv.push_back(nullptr);
  for (const auto& e : env) c_env.push_back(const_cast<char*>(e.c_str()));
  c_env.push_back(nullptr);
  // The child starts with SIGTERM and SIGPIPE at their defaults, as under the spooler.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, c_argv[0], &actions, &attributes, c_argv.data(), c_env.data());
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

// Waits for pid; returns its exit status or 128 + signal, and writes its peak
// resident memory to peak_rss_kb when given.
int Wait(pid_t pid, long* peak_rss_kb = nullptr) {
  int wstatus = 0;
  rusage usage{};
  while (wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
  }
  if (peak_rss_kb != nullptr) *peak_rss_kb = usage.ru_maxrss;
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

// Starts argv as Spawn does and waits for it as Wait does.
int SpawnAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const posix_spawn_file_actions_t& actions, long* peak_rss_kb = nullptr) {
  return Wait(Spawn(argv, env, actions), peak_rss_kb);
}

// The filter's argument vector and environment.
void FilterCommand(const std::vector<std::string>& args, const std::string& ppd_path, std::vector<std::string>& argv,
                   std::vector<std::string>& env) {
  argv = {RASTERTOVELTA_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  env = {"PATH=/usr/bin:/bin"};
  if (!ppd_path.empty()) env.push_back("PPD=" + ppd_path);
}

// A new name for a file of this test program.
std::string NewName(const char* kind) {
  static std::atomic<int> count{0};
  return std::string(kind) + "-" + std::to_string(++count);
}

}  // namespace

PipedJob::PipedJob(const std::vector<std::string>& args, const std::string& ppd_path)
    : out_path_(TempFile(NewName("out"), "")), err_path_(TempFile(NewName("err"), "")) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
  std::vector<std::string> argv, env;
  FilterCommand(args, ppd_path, argv, env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_TRUNC, 0);
  pid_ = Spawn(argv, env, actions);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[0]);
  input_ = pipe_ends[1];
}

PipedJob::~PipedJob() {
  if (pid_ > 0) Finish();
}

void PipedJob::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && input_ >= 0) {
    const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the filter stopped reading
    done += static_cast<std::size_t>(n);
  }
}

void PipedJob::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

JobResult PipedJob::Finish() {
  if (input_ >= 0) close(input_);
  input_ = -1;
  JobResult result;
  result.status = Wait(pid_, &result.peak_rss_kb);
  pid_ = -1;
  result.out = ReadAll(out_path_);
  result.err = ReadAll(err_path_);
  std::remove(out_path_.c_str());
  std::remove(err_path_.c_str());
  return result;
}

JobResult RunJob(const std::vector<std::string>& args, Input input, const std::string& input_path,
                 const std::string& ppd_path) {
  const std::string out_path = TempFile(NewName("out"), "");
  const std::string err_path = TempFile(NewName("err"), "");
  std::vector<std::string> argv, env;
  FilterCommand(args, ppd_path, argv, env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input == Input::Closed)
    posix_spawn_file_actions_addclose(&actions, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 0, input_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_TRUNC, 0);
  JobResult result;
  result.status = SpawnAndWait(argv, env, actions, &result.peak_rss_kb);
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadAll(out_path);
  result.err = ReadAll(err_path);
  std::remove(out_path.c_str());
  std::remove(err_path.c_str());
  return result;
}

long PeakMemoryKiB(const std::vector<std::string>& args, const std::string& input_path, const std::string& ppd_path,
                   int& status) {
  std::vector<std::string> argv, env;
  FilterCommand(args, ppd_path, argv, env);
  std::ofstream("/proc/self/clear_refs") << "5";  // resets this process's peak
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  long peak = 0;
  status = SpawnAndWait(argv, env, actions, &peak);
  posix_spawn_file_actions_destroy(&actions);
  return peak;
}

std::vector<std::string> JobWords(const std::string& options) { return {"7", "robust", "bad input", "1", options}; }

std::string MakeRasterFile(const std::string& name, const std::vector<std::string>& args) {
  const std::string path = TempFile(name, "");
  std::vector<std::string> argv{MKRASTER_PATH, "-o", path};
  argv.insert(argv.end(), args.begin(), args.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int status = SpawnAndWait(argv, {}, actions);
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) throw std::runtime_error("velta-mkraster failed for " + name);
  return path;
}

std::string TempFile(const std::string& name, const std::string& bytes) {
  const std::string folder = TempFolder();
  mkdir(folder.c_str(), 0700);
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::vector<std::string> ErrorLines(const std::string& err) {
  std::vector<std::string> lines;
  std::istringstream text(err);
  for (std::string line; std::getline(text, line);)
    if (line.starts_with("ERROR:")) lines.push_back(line);
  return lines;
}

bool DecodePages(const std::string& stream, std::vector<DecodedPage>& pages) {
  pages.clear();
  if (stream.empty()) return true;
  StreamParser parser(false);
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  const bool whole = parser.feed({bytes, stream.size()}) && parser.finish();
  pages = parser.take_pages();
  return whole;
}

}  // namespace velta::robustness
