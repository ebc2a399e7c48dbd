// The window tests' fixture: a tool that opens a window (bandshow, cloudspin,
// sonoscope) on the simulated Kinect under its own Xvfb, with the
// simulator's trace; found by its window title, ended with its quit key.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "harness.hpp"

namespace kestrel::test {

struct WindowTool {
  // Starts `tool` with `opts` (arguments, settings, interposers), adding the
  // trace, the display and the sanitizer settings for Mesa.
  WindowTool(const std::string &tool, const std::string &title, const std::string &quit_key,
             RunOptions opts = {});

  // The tool's window; throws, with the tool's output so far, when none
  // appears within `timeout`.
  unsigned long window(milliseconds timeout = milliseconds(20000));
  std::vector<TraceCall> trace() const;
  // Waits until the trace records a call of `function`.
  bool wait_for_call(const std::string &function, milliseconds timeout);
  // Waits until `wrong` finds nothing wrong with the window's picture (see
  // Xvfb::wait_for_picture); returns the last verdict and saves the last
  // screenshot as <temporary folder>/<tool>_<name>.png for a look.
  std::string shows(unsigned long window, const std::function<std::string(const Image &)> &wrong,
                    const std::string &name, milliseconds timeout, Image *last = nullptr);
  // Presses the quit key and waits for the tool to end. The tool may destroy
  // its window before the key's release reaches it, which makes xdotool
  // fail; the exit status tells whether the press did its work.
  RunResult quit(unsigned long window, milliseconds timeout = milliseconds(20000));

  const std::string tool, title, quit_key;
  TempDir dir;  // holds the trace
  Xvfb xvfb;
  Process proc;

 private:
  RunOptions options(RunOptions opts);
};

}  // namespace kestrel::test
