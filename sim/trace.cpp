#include "trace.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "config.hpp"

namespace ksim {
namespace {

// The trace file, opened (and truncated) once; -1 when tracing is off.
int trace_fd() {
  static const int fd = [] {
    const std::string &path = config().trace_path;
    if (path.empty()) return -1;
    const int f = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (f < 0) std::perror(("ksim: cannot open trace file " + path).c_str());
    return f;
  }();
  return fd;
}

}  // namespace

bool trace_enabled() {
  return trace_fd() >= 0;
}

TraceLine::TraceLine(const char *function) : function_(function), on_(trace_enabled()) {
  if (on_) text_ = function;
}

std::optional<int> TraceLine::injected_failure() const {
  return ksim::injected_failure(function_);
}

TraceLine &TraceLine::arg(long long value) {
  if (on_) text_ += " " + std::to_string(value);
  return *this;
}

TraceLine &TraceLine::arg_double(double value) {
  if (on_) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %g", value);
    text_ += buf;
  }
  return *this;
}

TraceLine &TraceLine::arg_word(const char *word) {
  if (on_) text_ += std::string(" ") + word;
  return *this;
}

void TraceLine::end() {
  finish("");
}

int TraceLine::result(int value) {
  if (failures_only_ && value >= 0) on_ = false;
  finish(std::to_string(value));
  return value;
}

double TraceLine::result_double(double value) {
  if (on_) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", value);
    finish(buf);
  }
  return value;
}

void TraceLine::finish(const std::string &result) {
  if (!on_) return;
  on_ = false;
  if (!result.empty()) text_ += " = " + result;
  text_ += '\n';
  // O_APPEND and a single write keep concurrent lines whole.
  const ssize_t written = ::write(trace_fd(), text_.data(), text_.size());
  (void)written;
}

}  // namespace ksim
