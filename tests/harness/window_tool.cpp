#include "window_tool.hpp"

#include <exception>
#include <filesystem>
#include <thread>

namespace kestrel::test {

WindowTool::WindowTool(const std::string &tool, const std::string &title,
                       const std::string &quit_key, RunOptions opts)
    : tool(tool),
      title(title),
      quit_key(quit_key),
      proc(tool_path(tool), options(std::move(opts))) {}

RunOptions WindowTool::options(RunOptions opts) {
  opts.env["KSIM_TRACE"] = dir.file("trace");
  quiet_gl_stack(opts.env, dir);
  for (const auto &[name, value] : xvfb.env()) opts.env[name] = value;
  return opts;
}

unsigned long WindowTool::window(milliseconds timeout) {
  return xvfb.window_of(proc, title, timeout);
}

std::vector<TraceCall> WindowTool::trace() const {
  return read_trace(dir.file("trace"));
}

bool WindowTool::wait_for_call(const std::string &function, milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (!calls_named(trace(), function).empty()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(milliseconds(50));
  }
}

std::string WindowTool::shows(unsigned long window,
                              const std::function<std::string(const Image &)> &wrong,
                              const std::string &name, milliseconds timeout, Image *last) {
  Image shot;
  const std::string verdict = xvfb.wait_for_picture(window, wrong, timeout, &shot);
  shot.save_png((std::filesystem::temp_directory_path() / (tool + "_" + name + ".png")).string());
  if (last) *last = std::move(shot);
  return verdict;
}

RunResult WindowTool::quit(unsigned long window, milliseconds timeout) {
  try {
    xvfb.key(window, quit_key);
  } catch (const std::exception &) {
    // The window went before the key's release: see the exit status.
  }
  return proc.wait(timeout);
}

}  // namespace kestrel::test
