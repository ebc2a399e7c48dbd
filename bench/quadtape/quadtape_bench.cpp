// Timed harness for quadtape on the simulated Kinect.
//
//   quadtape_bench realtime [seconds]   CPU use while recording at real-time pacing
//   quadtape_bench fast [deliveries]    recording speed in the simulator's fast mode
//
// Each program runs in a fresh folder under /tmp with its output discarded;
// the sample count comes from the length of channel1.wav. At real-time pacing
// quadtape runs side by side with pump_baseline (the same event pump without
// the recording), so both see the same machine load; their CPU time over the
// measured window comes from the scheduler's per-thread run times, taken after
// a warm-up that leaves out the start-up (the simulator prepares its scene in
// freenect_init). The whole run's CPU time (from wait4) is reported too.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRate = 16000;  // samples per second per microphone
constexpr long kHeader = 44;     // WAV header bytes
constexpr double kWarmUp = 2;    // seconds left out of the measured window

struct Run {
  pid_t pid;
  std::string dir;
  Clock::time_point start;
};

struct Outcome {
  double wall_s, cpu_s;  // the whole run
  long samples;          // per channel
  int status;
};

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double seconds(const timeval &t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// CPU time in seconds (user and system) of all threads of `pid` so far.
double run_time(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  double total = 0;
  DIR *dir = opendir(tasks.c_str());
  if (!dir) return 0;
  while (dirent *entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    FILE *f = fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r");
    unsigned long long ns = 0;
    if (f && fscanf(f, "%llu", &ns) == 1) total += ns / 1e9;
    if (f) fclose(f);
  }
  closedir(dir);
  return total;
}

// Starts `program` on the simulator, in a new folder, with `env` added.
Run start(const char *program, const char *const env[]) {
  char dir[] = "/tmp/quadtape_bench.XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    exit(1);
  }
  Run run{0, dir, Clock::now()};
  run.pid = fork();
  if (run.pid == 0) {
    if (chdir(dir) != 0) _exit(127);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    setenv("LD_LIBRARY_PATH", SIM_LIB_DIR, 1);
    for (int i = 0; env[i]; i += 2) setenv(env[i], env[i + 1], 1);
    execl(program, program, (char *)NULL);
    _exit(127);
  }
  return run;
}

// Waits for the run to end, then removes its folder.
Outcome finish(const Run &run) {
  int status = 0;
  rusage usage;
  wait4(run.pid, &status, 0, &usage);
  Outcome o{since(run.start), seconds(usage.ru_utime) + seconds(usage.ru_stime), 0,
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  struct stat st;
  if (stat((run.dir + "/channel1.wav").c_str(), &st) == 0) o.samples = (st.st_size - kHeader) / 4;
  for (int k = 1; k <= 4; k++) unlink((run.dir + "/channel" + std::to_string(k) + ".wav").c_str());
  rmdir(run.dir.c_str());
  return o;
}

void sleep_s(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

int realtime(double window_s) {
  const char *const env[] = {"KSIM_PACE", "realtime", NULL};
  const Run tape = start(QUADTAPE_PATH, env);
  const Run pump = start(PUMP_BASELINE_PATH, env);
  sleep_s(kWarmUp);
  const Clock::time_point from = Clock::now();
  const double tape_from = run_time(tape.pid), pump_from = run_time(pump.pid);
  sleep_s(window_s);
  const double tape_cpu = run_time(tape.pid) - tape_from, pump_cpu = run_time(pump.pid) - pump_from;
  const double window = since(from);
  kill(tape.pid, SIGINT);
  kill(pump.pid, SIGINT);
  const Outcome t = finish(tape), p = finish(pump);

  printf("window %.2f s after %.0f s warm-up:\n", window, kWarmUp);
  printf("  quadtape       %.4f s CPU = %.3f %% of one core\n", tape_cpu, 100 * tape_cpu / window);
  printf("  pump_baseline  %.4f s CPU = %.3f %% of one core\n", pump_cpu, 100 * pump_cpu / window);
  printf("  recording's own share: %.3f %% of one core\n", 100 * (tape_cpu - pump_cpu) / window);
  printf(
      "whole quadtape run: %.2f s wall, %.3f s CPU (user+sys) = %.3f %%, %ld samples, status %d\n",
      t.wall_s, t.cpu_s, 100 * t.cpu_s / t.wall_s, t.samples, t.status);
  return t.status != 0 || p.status != 0;
}

int fast(const std::string &deliveries) {
  const char *const env[] = {"KSIM_PACE", "fast", "KSIM_END_AFTER", deliveries.c_str(), NULL};
  const Outcome o = finish(start(QUADTAPE_PATH, env));
  printf(
      "fast: %ld samples per channel in %.3f s wall (%.3f s CPU) = %.0f x real time, "
      "status %d\n",
      o.samples, o.wall_s, o.cpu_s, o.samples / o.wall_s / kRate, o.status);
  return o.status;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "realtime") return realtime(argc > 2 ? atof(argv[2]) : 12);
  if (mode == "fast") return fast(argc > 2 ? argv[2] : "40000");
  fprintf(stderr, "usage: %s realtime [seconds] | fast [deliveries]\n", argv[0]);
  return 2;
}
