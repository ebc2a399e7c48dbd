// The call trace (KSIM_TRACE): one line per driver call or delivery, each
// written whole with one write() so that a killed process leaves a valid file.
#pragma once

#include <string>

namespace ksim {

bool trace_enabled();

// Builds one trace line: the function name, then arguments, then the result.
// Does nothing at all when tracing is off.
class TraceLine {
 public:
  explicit TraceLine(const char *function);
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
  bool on_;
  std::string text_;
};

}  // namespace ksim
