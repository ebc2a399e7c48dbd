// Timed harness for scenereel on the simulated Kinect, recording to tmpfs.
//
//   scenereel_bench realtime [seconds]   CPU use over a window at real-time pacing
//   scenereel_bench fast [frames]        pairs written per second in fast mode,
//                                        beside bare writes of the same bytes
//
// The recordings go to a fresh folder under /dev/shm (tmpfs), removed after
// each run. CPU time over the window comes from /proc/<pid>/stat (all
// threads, user and system) after a warm-up that leaves out the start-up (the
// simulator prepares its scene in freenect_init); the whole run's CPU time
// comes from wait4.

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kWarmUp = 2;                  // seconds left out of the measured window
constexpr double kFrameRate = 30;              // depth and video frames per second, each
constexpr size_t kDepthBytes = 640 * 480 * 2;  // one depth frame
constexpr size_t kVideoBytes = 640 * 480 * 3;  // one RGB frame

struct Outcome {
  double wall_s, cpu_s;  // the whole run
  std::string summary;   // scenereel's last line
  int status;
};

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

double seconds(const timeval &t) {
  return t.tv_sec + t.tv_usec / 1e6;
}

// User and system CPU seconds of all threads of `pid` so far (fields 14 and
// 15 of /proc/<pid>/stat, in clock ticks).
double cpu_so_far(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const size_t close = text.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string skip;
  for (int field = 3; field < 14; field++) fields >> skip;
  unsigned long long user = 0, system = 0;
  fields >> user >> system;
  return (double)(user + system) / sysconf(_SC_CLK_TCK);
}

std::string fresh_folder() {
  char dir[] = "/dev/shm/scenereel_bench.XXXXXX";
  if (!mkdtemp(dir)) {
    perror("mkdtemp");
    exit(1);
  }
  return dir;
}

// Starts scenereel on the simulator, recording into `dir`/rec, its standard
// output into `dir`/out.txt.
pid_t start(const std::string &dir, const std::vector<std::string> &args, const char *pace) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open((dir + "/out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    setenv("LD_LIBRARY_PATH", SIM_LIB_DIR, 1);
    setenv("KSIM_PACE", pace, 1);
    std::vector<const char *> argv = {SCENEREEL_PATH};
    const std::string rec = dir + "/rec";
    argv.push_back(rec.c_str());
    for (const std::string &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    execv(SCENEREEL_PATH, (char *const *)argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for scenereel to end, then removes its folder.
Outcome finish(pid_t pid, const std::string &dir, Clock::time_point started) {
  int status = 0;
  rusage usage;
  wait4(pid, &status, 0, &usage);
  Outcome o{since(started), seconds(usage.ru_utime) + seconds(usage.ru_stime), "",
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  std::ifstream out(dir + "/out.txt");
  std::getline(out, o.summary);
  fs::remove_all(dir);
  return o;
}

void sleep_s(double s) {
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

// The bytes scenereel writes a pair: a depth file, a colour file and a
// 12-byte accelerometer file.
struct Pair {
  std::string depth = "P5 640 480 65535\n" + std::string(kDepthBytes, '\x5a');
  std::string video = "P6 640 480 255\n" + std::string(kVideoBytes, '\xa5');
  std::string tilt = std::string(12, '\0');
};

// Writes pair `i` as three plain files (open, write, close) into `dir`.
void write_pair(const std::string &dir, long i, const Pair &pair) {
  for (const auto &[ext, bytes] : {std::pair{".pgm", &pair.depth}, std::pair{".ppm", &pair.video},
                                   std::pair{".dump", &pair.tilt}}) {
    const std::string path = dir + "/" + std::to_string(i) + ext;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || write(fd, bytes->data(), bytes->size()) != (ssize_t)bytes->size()) {
      perror(path.c_str());
      exit(1);
    }
    close(fd);
  }
}

// Writes `pairs` pairs into a fresh tmpfs folder as fast as it can; returns
// the seconds taken.
double bare_writes(long pairs) {
  const std::string dir = fresh_folder();
  const Pair pair;
  const Clock::time_point from = Clock::now();
  for (long i = 0; i < pairs; i++) write_pair(dir, i, pair);
  const double taken = since(from);
  fs::remove_all(dir);
  return taken;
}

// Writes 30 pairs a second for `window_s` on a thread of its own, into a
// fresh tmpfs folder; returns that thread's CPU seconds.
double paced_bare_writes(double window_s) {
  const std::string dir = fresh_folder();
  const Pair pair;
  double cpu = 0;
  std::thread writer([&] {
    const Clock::time_point from = Clock::now();
    for (long i = 0; i < window_s * kFrameRate; i++) {
      std::this_thread::sleep_until(from + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(i / kFrameRate)));
      write_pair(dir, i, pair);
    }
    timespec used;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    cpu = used.tv_sec + used.tv_nsec / 1e9;
  });
  writer.join();
  fs::remove_all(dir);
  return cpu;
}

int realtime(double window_s) {
  const std::string dir = fresh_folder();
  const Clock::time_point started = Clock::now();
  const pid_t pid = start(dir, {"--seconds", std::to_string(kWarmUp + window_s + 1)}, "realtime");
  sleep_s(kWarmUp);
  const Clock::time_point from = Clock::now();
  const double cpu_from = cpu_so_far(pid);
  const double bare_cpu = paced_bare_writes(window_s);  // side by side, so both see the same load
  const double cpu = cpu_so_far(pid) - cpu_from, window = since(from);
  const Outcome o = finish(pid, dir, started);

  printf("window %.2f s after %.0f s warm-up: %.3f s CPU = %.2f %% of one core\n", window, kWarmUp,
         cpu, 100 * cpu / window);
  printf("  bare writes of the same files, 30 a second, beside it: %.3f s CPU = %.2f %%\n",
         bare_cpu, 100 * bare_cpu / window);
  printf("whole run: %.2f s wall, %.3f s CPU (user+sys) = %.2f %%, status %d\n", o.wall_s, o.cpu_s,
         100 * o.cpu_s / o.wall_s, o.status);
  printf("%s\n", o.summary.c_str());
  return o.status;
}

int fast(long frames) {
  // The start-up alone (one frame), to take out of the recording's time.
  const std::string probe_dir = fresh_folder();
  const Clock::time_point probe_start = Clock::now();
  const Outcome startup =
      finish(start(probe_dir, {"--frames", "1"}, "fast"), probe_dir, probe_start);

  const std::string dir = fresh_folder();
  const Clock::time_point started = Clock::now();
  const Outcome o = finish(start(dir, {"--frames", std::to_string(frames)}, "fast"), dir, started);
  long depth = 0, video = 0;
  if (sscanf(o.summary.c_str(), "scenereel: %ld depth, %ld video", &depth, &video) != 2) {
    fprintf(stderr, "no summary line: %s\n", o.summary.c_str());
    return 1;
  }
  const double pairs = (depth + video) / 2.0, recording_s = o.wall_s - startup.wall_s;
  const double bare_s = bare_writes((long)pairs);

  printf("fast, %ld frames delivered: %s\n", frames, o.summary.c_str());
  printf(
      "  %.0f pairs written in %.3f s (run %.3f s less start-up %.3f s) = %.0f pairs/s = "
      "%.1f x real time; %.3f s CPU\n",
      pairs, recording_s, o.wall_s, startup.wall_s, pairs / recording_s,
      pairs / recording_s / kFrameRate, o.cpu_s);
  printf("  bare writes of the same files: %.3f s = %.0f pairs/s; scenereel %.2f x their speed\n",
         bare_s, pairs / bare_s, bare_s / recording_s);
  return o.status;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "realtime") return realtime(argc > 2 ? atof(argv[2]) : 10);
  if (mode == "fast") return fast(argc > 2 ? atol(argv[2]) : 3000);
  fprintf(stderr, "usage: %s realtime [seconds] | fast [frames]\n", argv[0]);
  return 2;
}
