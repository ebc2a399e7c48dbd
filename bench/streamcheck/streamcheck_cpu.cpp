// Measures the CPU time (user + system) streamcheck uses while it streams
// depth and video from the simulated Kinect at real-time pacing, then stops it
// with SIGINT. Prints the share of one core over the run and whether it stays
// under the 2 % budget (exit status 0 if so).
//
//   streamcheck_cpu [seconds] [output-file]
//
// seconds: length of the run (default 10); output-file: where the tool's
// stdout goes (default /dev/null).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

constexpr double kBudgetPercent = 2.0;  // allowed share of one core

static double seconds_of(const timeval &tv) {
  return (double)tv.tv_sec + (double)tv.tv_usec / 1e6;
}

int main(int argc, char **argv) {
  double run_seconds = argc > 1 ? atof(argv[1]) : 10.0;
  const char *output = argc > 2 ? argv[2] : "/dev/null";

  // The test's environment plus the simulator at real-time pacing.
  std::vector<std::string> env_s;
  for (char **e = environ; *e; e++) {
    if (strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0 && strncmp(*e, "KSIM_", 5) != 0)
      env_s.push_back(*e);
  }
  env_s.push_back(std::string("LD_LIBRARY_PATH=") + SIM_DIR);
  env_s.push_back("KSIM_PACE=realtime");
  std::vector<char *> envp;
  for (auto &s : env_s) envp.push_back(s.data());
  envp.push_back(nullptr);
  char *child_argv[] = {(char *)STREAMCHECK_PATH, nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  auto start = std::chrono::steady_clock::now();
  int rc = posix_spawn(&pid, STREAMCHECK_PATH, &actions, nullptr, child_argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    fprintf(stderr, "cannot start %s: %s\n", STREAMCHECK_PATH, strerror(rc));
    return 2;
  }

  std::this_thread::sleep_for(std::chrono::duration<double>(run_seconds));
  kill(pid, SIGINT);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "streamcheck did not end with status 0 (wait status %d)\n", status);
    return 2;
  }

  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  double user = seconds_of(usage.ru_utime), sys = seconds_of(usage.ru_stime);
  double percent = 100.0 * (user + sys) / wall;
  printf(
      "streamcheck, %.1f s at real-time pacing: user %.3f s, system %.3f s, %.2f %% of one core "
      "(budget %.0f %%): %s\n",
      wall, user, sys, percent, kBudgetPercent, percent < kBudgetPercent ? "within" : "OVER");
  return percent < kBudgetPercent ? 0 : 1;
}
