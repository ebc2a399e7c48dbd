// Starting and measuring a program for the service benchmarks: spawn with
// extra environment, stop with SIGINT, CPU time from /proc.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace kestrel::bench {

inline pid_t spawn(const std::vector<std::string> &args,
                   const std::vector<std::string> &extra_env) {
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e) env.push_back(*e);
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  std::vector<std::string> argv_s = args;
  std::vector<char *> envp, argv;
  for (std::string &s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  for (std::string &s : argv_s) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(2);
  }
  return pid;
}

inline void stop(pid_t pid) {
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
}

// /proc/<pid>/stat fields 14 and 15: user and system time in clock ticks.
inline double cpu_seconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) fields >> skip;
  unsigned long utime = 0, stime = 0;
  fields >> utime >> stime;
  return static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK);
}

// CPU time of every thread alive now, from /proc/<pid>/task/*/schedstat
// (nanoseconds on the CPU): finer than the clock ticks of cpu_seconds, for
// windows of a few per cent of a core.
inline double thread_cpu_seconds(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  for (const auto &task : std::filesystem::directory_iterator(dir)) {
    std::ifstream stat(task.path() / "schedstat");
    unsigned long long ns = 0;
    if (stat >> ns) total += ns * 1e-9;
  }
  return total;
}

}  // namespace kestrel::bench
