// Paths, temporary folders, background processes and the trace reader.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "harness.hpp"

extern char **environ;

namespace kestrel::test {

std::string tool_path(const std::string &tool) {
  return std::string(KESTREL_TOOLS_DIR) + "/" + tool;
}
std::string sim_lib_dir() {
  return KESTREL_SIM_DIR;
}
std::string sync_fault_lib() {
  return KESTREL_SYNC_FAULT_LIB;
}
std::string no_sleep_lib() {
  return KESTREL_NO_SLEEP_LIB;
}
std::string start_fault_lib() {
  return KESTREL_START_FAULT_LIB;
}

// ---------------------------------------------------------------------------
// TempDir

TempDir::TempDir() {
  const char *base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/kestrel-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp " + tmpl + ": " + strerror(errno));
  path = buf.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// ---------------------------------------------------------------------------
// Process

namespace {

// The child's environment: the test's own, overridden by opts.env, with the
// simulator's folder and the interposers added.
std::vector<std::string> child_environment(const RunOptions &opts) {
  Env env;
  for (char **e = environ; *e; e++) {
    const char *eq = strchr(*e, '=');
    if (eq) env[std::string(*e, (size_t)(eq - *e))] = eq + 1;
  }
  for (const auto &[key, value] : opts.env) env[key] = value;
  auto prepend = [&env](const std::string &key, const std::string &value) {
    auto it = env.find(key);
    env[key] = (it == env.end() || it->second.empty()) ? value : value + ":" + it->second;
  };
  if (opts.on_sim) prepend("LD_LIBRARY_PATH", sim_lib_dir());
  if (!opts.preload.empty()) {
    std::string list;
    for (const auto &lib : opts.preload) list += (list.empty() ? "" : ":") + lib;
    prepend("LD_PRELOAD", list);
#if defined(__SANITIZE_ADDRESS__)
    // The interposers are loaded ahead of the sanitizer runtime; that is fine
    // because they are not instrumented.
    auto it = env.find("ASAN_OPTIONS");
    std::string asan = it == env.end() ? "" : it->second;
    env["ASAN_OPTIONS"] = (asan.empty() ? "" : asan + ":") + "verify_asan_link_order=0";
#endif
  }
  std::vector<std::string> out;
  for (const auto &[key, value] : env) out.push_back(key + "=" + value);
  return out;
}

std::vector<char *> c_strings(std::vector<std::string> &strings) {
  std::vector<char *> out;
  for (auto &s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

struct Process::Impl {
  pid_t pid = -1;
  bool reaped = false;
  int status = 0;
  int out_fd = -1, err_fd = -1;  // read ends, owned by the reader thread
  std::thread reader;

  std::mutex mutex;  // guards out, err, eof
  std::condition_variable changed;
  std::string out, err;
  bool eof = false;  // both pipes closed

  // Drains both pipes until the child and everything it started closed them.
  void read_pipes() {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    int open = 2;
    char buf[65536];
    while (open > 0) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      for (int i = 0; i < 2; i++) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          close(fds[i].fd);
          fds[i].fd = -1;
          open--;
          continue;
        }
        std::lock_guard<std::mutex> lock(mutex);
        sinks[i]->append(buf, (size_t)n);
        changed.notify_all();
      }
    }
    std::lock_guard<std::mutex> lock(mutex);
    eof = true;
    changed.notify_all();
  }

  // Reaps the child if it has ended (blocking: wait for it). Before reaping,
  // kills what is left of its process group, so nothing it started keeps
  // running or holds the pipes open.
  bool try_reap(bool block) {
    if (reaped) return true;
    siginfo_t info{};
    int flags = WEXITED | WNOWAIT | (block ? 0 : WNOHANG);
    while (waitid(P_PID, (id_t)pid, &info, flags) < 0) {
      if (errno != EINTR) return false;
    }
    if (info.si_pid == 0) return false;
    kill(-pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    reaped = true;
    if (reader.joinable()) reader.join();
    return true;
  }

  bool wait_for(std::string Impl::*which, const std::string &needle, milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_until(lock, deadline, [&] {
      return (this->*which).find(needle) != std::string::npos || eof;
    }) && (this->*which).find(needle) != std::string::npos;
  }
};

namespace {

// Closes both ends of each pipe given.
void close_pipes(std::initializer_list<int *> pipes) {
  for (int *p : pipes) {
    close(p[0]);
    close(p[1]);
  }
}

// Runs in the forked child, so only async-signal-safe calls: sets up the
// child and execs the program; on failure reports errno through `report`.
[[noreturn]] void exec_child(pid_t parent, const char *program, char *const argv[],
                             char *const envp[], const char *cwd, int out_fd, int err_fd,
                             int report) {
  // Own process group, so the whole tool can be killed at once; killed too
  // if the test process dies without its destructors running.
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  // Default signal dispositions and an empty mask, whatever the runner set.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; sig++) sigaction(sig, &dfl, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int in_fd = open("/dev/null", O_RDONLY);
  if (in_fd >= 0 && dup2(in_fd, 0) >= 0 && dup2(out_fd, 1) >= 0 && dup2(err_fd, 2) >= 0 &&
      (!cwd || chdir(cwd) == 0)) {
    execve(program, argv, envp);
  }
  int error = errno;
  ssize_t ignored = write(report, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

}  // namespace

Process::Process(const std::string &program, const RunOptions &opts) : impl_(nullptr) {
  std::vector<std::string> argv_s{program};
  argv_s.insert(argv_s.end(), opts.args.begin(), opts.args.end());
  std::vector<std::string> env_s = child_environment(opts);
  std::vector<char *> argv = c_strings(argv_s), envp = c_strings(env_s);
  const char *cwd = opts.cwd.empty() ? nullptr : opts.cwd.c_str();

  // stdout, stderr, and a pipe on which the child reports a failed exec (it
  // closes unwritten on a successful one).
  int out_pipe[2], err_pipe[2], report_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) < 0) throw std::runtime_error("pipe failed");
  if (pipe2(err_pipe, O_CLOEXEC) < 0) {
    close_pipes({out_pipe});
    throw std::runtime_error("pipe failed");
  }
  if (pipe2(report_pipe, O_CLOEXEC) < 0) {
    close_pipes({out_pipe, err_pipe});
    throw std::runtime_error("pipe failed");
  }

  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    exec_child(parent, program.c_str(), argv.data(), envp.data(), cwd, out_pipe[1], err_pipe[1],
               report_pipe[1]);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  close(report_pipe[1]);
  int error = pid < 0 ? errno : 0;
  if (pid > 0) {
    ssize_t n;
    while ((n = read(report_pipe[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (n <= 0) error = 0;
  }
  close(report_pipe[0]);
  if (error != 0) {
    if (pid > 0) {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    close(out_pipe[0]);
    close(err_pipe[0]);
    throw std::runtime_error("cannot start " + program + ": " + strerror(error));
  }
  impl_ = new Impl;
  impl_->pid = pid;
  impl_->out_fd = out_pipe[0];
  impl_->err_fd = err_pipe[0];
  impl_->reader = std::thread([impl = impl_] { impl->read_pipes(); });
}

Process::~Process() {
  if (!impl_->reaped) {
    kill(-impl_->pid, SIGKILL);
    impl_->try_reap(true);
  }
  delete impl_;
}

pid_t Process::pid() const {
  return impl_->pid;
}

void Process::signal(int sig) {
  if (!impl_->reaped) kill(impl_->pid, sig);
}

bool Process::wait_for_out(const std::string &needle, milliseconds timeout) {
  return impl_->wait_for(&Impl::out, needle, timeout);
}

bool Process::wait_for_err(const std::string &needle, milliseconds timeout) {
  return impl_->wait_for(&Impl::err, needle, timeout);
}

std::string Process::out_so_far() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->out;
}

std::string Process::err_so_far() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->err;
}

bool Process::running() {
  return !impl_->try_reap(false);
}

RunResult Process::wait(milliseconds timeout) {
  RunResult result;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!impl_->try_reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      result.timed_out = true;
      kill(-impl_->pid, SIGKILL);
      impl_->try_reap(true);
      break;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  if (WIFEXITED(impl_->status)) result.exit_code = WEXITSTATUS(impl_->status);
  if (WIFSIGNALED(impl_->status)) result.term_signal = WTERMSIG(impl_->status);
  std::lock_guard<std::mutex> lock(impl_->mutex);
  result.out = impl_->out;
  result.err = impl_->err;
  return result;
}

RunResult run(const std::string &program, const RunOptions &opts, milliseconds timeout) {
  Process process(program, opts);
  return process.wait(timeout);
}

RunOptions redirected(const std::string &program, const std::string &redirections,
                      RunOptions opts) {
  std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" " + redirections, program};
  args.insert(args.end(), opts.args.begin(), opts.args.end());
  opts.args = std::move(args);
  return opts;
}

std::vector<std::string> split_lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Trace

std::vector<TraceCall> read_trace(const std::string &path) {
  std::vector<TraceCall> calls;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    TraceCall call;
    if (!(words >> call.name)) continue;
    std::string word;
    while (words >> word) {
      if (word == "=") {
        words >> call.result;
        break;
      }
      call.args.push_back(word);
    }
    calls.push_back(std::move(call));
  }
  return calls;
}

std::vector<TraceCall> calls_named(const std::vector<TraceCall> &trace, const std::string &name) {
  std::vector<TraceCall> out;
  for (const auto &call : trace) {
    if (call.name == name) out.push_back(call);
  }
  return out;
}

std::vector<std::string> first_args(const std::vector<TraceCall> &trace, const std::string &name) {
  std::vector<std::string> out;
  for (const TraceCall &call : calls_named(trace, name)) out.push_back(call.args.at(0));
  return out;
}

std::vector<std::string> call_names(const std::vector<TraceCall> &trace) {
  std::vector<std::string> out;
  for (const auto &call : trace) out.push_back(call.name);
  return out;
}

}  // namespace kestrel::test
