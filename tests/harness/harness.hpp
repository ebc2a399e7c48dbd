// Shared helpers for the end-to-end tests: run a tool binary as a process on
// the simulated Kinect, read the simulator's call trace, and drive a window
// under Xvfb (find it, send keys and mouse input, take screenshots).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::test {

// ThreadSanitizer slows the programs and their DDS peers several times over:
// too much for crowds of clients to be answered within camserve's 5 s, or for
// discovery to fit a listening window of a few seconds on a busy machine.
#if defined(__SANITIZE_THREAD__)
constexpr bool kUnderThreadSanitizer = true;
#else
constexpr bool kUnderThreadSanitizer = false;
#endif

using Env = std::map<std::string, std::string>;
using std::chrono::milliseconds;

// Where the build put things.
std::string tool_path(const std::string &tool);  // build/tools/<tool>
std::string sim_lib_dir();                       // folder holding the simulated libfreenect.so.0.5
// An LD_PRELOAD interposer of the freenect_sync_* calls: with
// KSYNC_FAIL=<function>@N[,...] in the environment, the N-th call (1-based) of
// that function and every later one return -1 without reaching the wrapper.
std::string sync_fault_lib();
// An LD_PRELOAD interposer that makes sleep() return at once, for tools that
// pause between passes.
std::string no_sleep_lib();
// An LD_PRELOAD interposer for start-up failures: KFAULT_CALLOC=<nmemb>x<size>
// fails the calloc calls with exactly those arguments, KFAULT_PTHREAD_CREATE=1
// every pthread_create.
std::string start_fault_lib();

// A fresh empty folder under the test's temporary directory, removed with
// everything in it when the object goes.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string path;
  std::string file(const std::string &name) const { return path + "/" + name; }
};

struct RunResult {
  int exit_code = -1;      // exit status when the process exited, else -1
  int term_signal = 0;     // signal that ended the process, else 0
  bool timed_out = false;  // the harness had to kill it
  std::string out;         // everything written to stdout
  std::string err;         // everything written to stderr
};

struct RunOptions {
  std::vector<std::string> args;     // arguments after the program name
  Env env;                           // added to (and overriding) the test's own environment
  std::string cwd;                   // working directory; empty: the test's own
  bool on_sim = true;                // prepend sim_lib_dir() to LD_LIBRARY_PATH
  std::vector<std::string> preload;  // libraries for LD_PRELOAD (interposers)
};

// A tool started in the background; its stdout and stderr are collected by
// the harness while it runs. The destructor kills (SIGKILL) and reaps a
// process that is still running.
// The process is also killed when the thread that started it ends, so a test
// that dies abruptly leaves no tool running; start it from a thread that
// outlives it (normally the test's own).
struct Process {
  Process(const std::string &program, const RunOptions &opts);
  ~Process();
  Process(const Process &) = delete;
  Process &operator=(const Process &) = delete;

  pid_t pid() const;
  void signal(int sig);
  // Waits until stdout (or stderr) contains `needle`; false on timeout or exit.
  bool wait_for_out(const std::string &needle, milliseconds timeout);
  bool wait_for_err(const std::string &needle, milliseconds timeout);
  std::string out_so_far();
  std::string err_so_far();
  // Waits for the process to end; kills it (and sets timed_out) after `timeout`.
  RunResult wait(milliseconds timeout);
  bool running();

 private:
  struct Impl;
  Impl *impl_;
};

// Runs `program` to its end (killed after `timeout`).
RunResult run(const std::string &program, const RunOptions &opts,
              milliseconds timeout = milliseconds(20000));

// The shell that applies redirections for `redirected`.
constexpr char kShell[] = "/bin/bash";
// Options that make kShell exec `program` (with opts.args) under the shell
// redirections given, such as "<&- >&- 2>&-" (descriptors closed) or
// ">fifo"; the process started is then the program itself. Start kShell
// with them.
RunOptions redirected(const std::string &program, const std::string &redirections, RunOptions opts);

// The lines of a tool's output, without their newlines (a last line without
// a newline is included).
std::vector<std::string> split_lines(const std::string &text);

// One driver call recorded by the simulator (see sim/README.md for the
// format): the function name, its arguments as written, and its result ("" for
// a void function). Delivery events are recorded with names starting with '@'.
struct TraceCall {
  std::string name;
  std::vector<std::string> args;
  std::string result;
};
std::vector<TraceCall> read_trace(const std::string &path);
// The calls named `name`, in order.
std::vector<TraceCall> calls_named(const std::vector<TraceCall> &trace, const std::string &name);
// The first argument of each call named `name`, in order (the tilts sent, say).
std::vector<std::string> first_args(const std::vector<TraceCall> &trace, const std::string &name);
// Just the names, in order (convenient for call-order assertions).
std::vector<std::string> call_names(const std::vector<TraceCall> &trace);

// An RGB image, rows top to bottom.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3
  struct Pixel {
    uint8_t r, g, b;
    bool operator==(const Pixel &o) const { return r == o.r && g == o.g && b == o.b; }
  };
  Pixel at(int x, int y) const;
  void save_png(const std::string &path) const;
};
Image load_png(const std::string &path);
// Decodes an XWD dump (as written by `xwd`) of a 24- or 32-bit ZPixmap.
Image parse_xwd(const std::string &data);

// An Xvfb server on a free display number, 24-bit colour, killed on
// destruction. Tests pass display() as DISPLAY in RunOptions::env.
struct Xvfb {
  explicit Xvfb(int width = 1024, int height = 768);
  ~Xvfb();
  Xvfb(const Xvfb &) = delete;
  Xvfb &operator=(const Xvfb &) = delete;

  std::string display() const;  // ":N"
  Env env() const;              // {"DISPLAY", display()}

  // The id of the first visible window whose title is `title`, waiting up to
  // `timeout` for it to be mapped.
  std::optional<unsigned long> find_window(const std::string &title, milliseconds timeout);
  // The same for the window of `tool`; throws, with the tool's output so
  // far, when none appears.
  unsigned long window_of(Process &tool, const std::string &title, milliseconds timeout);
  // Keys by xdotool key name ("w", "Escape", "space", "q").
  void key(unsigned long window, const std::string &keyname);
  void mouse_move(unsigned long window, int x, int y);  // window-relative
  // Presses and releases happen where the pointer is: mouse_move into the
  // window first (a real press, so a drag reaches the window as one).
  void mouse_down(unsigned long window, int button);
  void mouse_up(unsigned long window, int button);
  // The window's contents as they are on the screen now.
  Image screenshot(unsigned long window);
  // Takes screenshots until the picture has stayed the same for `hold`, or
  // `timeout`; returns the last.
  Image stable_screenshot(unsigned long window, milliseconds hold, milliseconds timeout);
  // Takes screenshots until `wrong` finds nothing wrong with one (returns ""),
  // or `timeout`: a window shows a key's effect, or its first frame, only
  // some time later, the longer the busier the machine. Returns the last
  // verdict, and the last screenshot in `last` if given.
  std::string wait_for_picture(unsigned long window,
                               const std::function<std::string(const Image &)> &wrong,
                               milliseconds timeout, Image *last = nullptr);

 private:
  struct Impl;
  Impl *impl_;
};

// Sanitizer settings for a tool whose GL is Mesa's uninstrumented software
// renderer. Under AddressSanitizer it runs without leak detection: Mesa keeps
// its GL context to the end of the process, in modules already unloaded when
// the leak check runs, so no suppression can name them; memory errors still
// fail the tool. Under ThreadSanitizer the races among Mesa's own rasterizer
// threads are suppressed (suppression file written to `dir`); races in the
// tool still fail it. Does nothing in the plain build.
void quiet_gl_stack(Env &env, const TempDir &dir);

}  // namespace kestrel::test
