// Timed harness for quadtape on the simulated Kinect.
//
//   quadtape_bench realtime [seconds]   CPU use while recording at real-time pacing
//   quadtape_bench fast [deliveries]    recording speed in the simulator's fast mode
//
// The recorder runs in a fresh folder under /tmp with its output discarded;
// its CPU time comes from wait4's resource usage, its sample count from the
// length of channel1.wav.

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr double kRate = 16000;  // samples per second per microphone
constexpr long kHeader = 44;     // WAV header bytes

struct Outcome {
  double wall_s, cpu_s;
  long samples;  // per channel
  int status;
};

double seconds(const timeval &t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// Runs quadtape with `env` added; stops it with SIGINT after `stop_after_s`
// (0: let it end by itself).
Outcome record(const char *const env[], double stop_after_s) {
  char dir[] = "/tmp/quadtape_bench.XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    exit(1);
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir) != 0) _exit(127);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    setenv("LD_LIBRARY_PATH", SIM_LIB_DIR, 1);
    for (int i = 0; env[i]; i += 2) setenv(env[i], env[i + 1], 1);
    execl(QUADTAPE_PATH, "quadtape", (char *)NULL);
    _exit(127);
  }
  if (stop_after_s > 0) {
    std::this_thread::sleep_for(std::chrono::duration<double>(stop_after_s));
    kill(pid, SIGINT);
  }
  int status = 0;
  rusage usage;
  wait4(pid, &status, 0, &usage);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  Outcome o{wall, seconds(usage.ru_utime) + seconds(usage.ru_stime), 0,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  const std::string folder = dir;
  struct stat st;
  if (stat((folder + "/channel1.wav").c_str(), &st) == 0) o.samples = (st.st_size - kHeader) / 4;
  for (int k = 1; k <= 4; k++) unlink((folder + "/channel" + std::to_string(k) + ".wav").c_str());
  rmdir(dir);
  return o;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "realtime") {
    const double run_s = argc > 2 ? atof(argv[2]) : 12;
    const char *const env[] = {"KSIM_PACE", "realtime", NULL};
    const Outcome o = record(env, run_s);
    printf(
        "realtime: %.2f s wall, %.3f s CPU (user+sys) = %.3f %% of one core, %ld samples, "
        "status %d\n",
        o.wall_s, o.cpu_s, 100 * o.cpu_s / o.wall_s, o.samples, o.status);
    return o.status;
  }
  if (mode == "fast") {
    const std::string deliveries = argc > 2 ? argv[2] : "40000";
    const char *const env[] = {"KSIM_PACE", "fast", "KSIM_END_AFTER", deliveries.c_str(), NULL};
    const Outcome o = record(env, 0);
    printf(
        "fast: %ld samples per channel in %.3f s wall (%.3f s CPU) = %.0f x real time, "
        "status %d\n",
        o.samples, o.wall_s, o.cpu_s, o.samples / o.wall_s / kRate, o.status);
    return o.status;
  }
  fprintf(stderr, "usage: %s realtime [seconds] | fast [deliveries]\n", argv[0]);
  return 2;
}
