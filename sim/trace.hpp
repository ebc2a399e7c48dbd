// The call trace (KSIM_TRACE): one line per driver call or delivery, each
// written whole with one write() so that a killed process leaves a valid file.
#pragma once

#include <optional>
#include <string>

namespace ksim {

bool trace_enabled();

// Builds one trace line: the function name, then arguments, then the result.
// Does nothing at all when tracing is off. Every entry point names its line
// with __func__, which also keys its KSIM_FAIL rule, so the two cannot differ.
class TraceLine {
 public:
  explicit TraceLine(const char *function);
  // The result a KSIM_FAIL rule makes this call return (the call is
  // counted); nothing when the call should run normally.
  std::optional<int> injected_failure() const;
  // Records the call only if its result is negative (the event pump, which
  // would otherwise fill the trace).
  TraceLine &failures_only() {
    failures_only_ = true;
    return *this;
  }
  TraceLine &arg(long long value);
  TraceLine &arg_double(double value);
  TraceLine &arg_word(const char *word);
  TraceLine &arg_set(const void *pointer) { return arg_word(pointer ? "set" : "null"); }
  void end();  // a void function or a delivery event: no result
  int result(int value);
  double result_double(double value);
  template <typename T>
  T *result_pointer(T *pointer) {
    finish(pointer ? "set" : "null");
    return pointer;
  }

 private:
  void finish(const std::string &result);
  const char *function_;
  bool on_;
  bool failures_only_ = false;
  std::string text_;
};

// The body of every entry point with an int result: an injected failure is
// recorded and returned instead of running `body`; otherwise its result is.
template <typename Body>
int traced(TraceLine &t, Body body) {
  if (const std::optional<int> v = t.injected_failure()) return t.result(*v);
  return t.result(body());
}

}  // namespace ksim
