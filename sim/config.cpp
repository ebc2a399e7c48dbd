#include "config.hpp"

#include <dlfcn.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace ksim {
namespace {

// One KSIM_FAIL entry: from call number `from_call` on, return `value`.
struct FailRule {
  uint64_t from_call = 1;
  int value = -1;
  uint64_t calls = 0;  // calls of the function so far
};

// KSIM_FAIL rules by function name, with their call counters; guarded by
// fail_lock. Never destroyed, like the configuration: other threads may still
// call in while the process exits.
std::map<std::string, FailRule> &fail_rules = *new std::map<std::string, FailRule>;
std::mutex fail_lock;

void warn(const char *variable, const std::string &text, const char *reason = nullptr) {
  std::fprintf(stderr, "ksim: ignoring %s entry '%s'%s%s\n", variable, text.c_str(),
               reason ? ": " : "", reason ? reason : "");
}

// True when this library exports a function called `name`, so that a
// misspelt KSIM_FAIL name is reported instead of never matching a call.
bool is_driver_function(const std::string &name) {
  Dl_info self{};
  if (!dladdr(reinterpret_cast<void *>(&is_driver_function), &self)) return true;  // cannot tell
  void *library = dlopen(self.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (!library) return true;
  void *symbol = dlsym(library, name.c_str());
  Dl_info found{};
  const bool ours = symbol && dladdr(symbol, &found) && found.dli_fbase == self.dli_fbase;
  dlclose(library);
  return ours;
}

// Parses a whole decimal integer in [lo, hi].
bool parse_int(const std::string &text, long long lo, long long hi, long long *out) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Parses a whole positive, finite decimal number.
bool parse_positive(const std::string &text, double *out) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(v > 0) || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

std::vector<std::string> split(const std::string &text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

std::string env(const char *name) {
  const char *v = std::getenv(name);
  return v ? v : "";
}

// "<function>[@N][=<value>]"
void parse_fail_entry(const std::string &entry) {
  std::string name = entry, count, value_text;
  if (const auto eq = name.find('='); eq != std::string::npos) {
    value_text = name.substr(eq + 1);
    name.resize(eq);
  }
  if (const auto at = name.find('@'); at != std::string::npos) {
    count = name.substr(at + 1);
    name.resize(at);
  }
  long long from = 1, value = -1;
  if (name.empty() || (!count.empty() && !parse_int(count, 1, INT64_MAX, &from)) ||
      (!value_text.empty() && !parse_int(value_text, INT32_MIN, INT32_MAX, &value))) {
    warn("KSIM_FAIL", entry);
    return;
  }
  if (!is_driver_function(name)) {
    warn("KSIM_FAIL", entry, "no driver function of that name");
    return;
  }
  fail_rules[name] = FailRule{static_cast<uint64_t>(from), static_cast<int>(value), 0};
}

Config read_config() {
  Config c;
  long long n = 0;
  if (const auto v = env("KSIM_DEVICES"); !v.empty()) {
    if (parse_int(v, 0, 64, &n))
      c.devices = static_cast<int>(n);
    else
      warn("KSIM_DEVICES", v);
  }
  if (const auto v = env("KSIM_PACE"); !v.empty()) {
    if (v == "fast" || v == "realtime")
      c.fast = v == "fast";
    else
      warn("KSIM_PACE", v);
  }
  if (const auto v = env("KSIM_END_AFTER"); !v.empty()) {
    if (parse_int(v, 1, INT64_MAX, &n))
      c.end_after = static_cast<uint64_t>(n);
    else
      warn("KSIM_END_AFTER", v);
  }
  if (const auto v = env("KSIM_FIRST_TIMESTAMP"); !v.empty()) {
    if (parse_int(v, 0, UINT32_MAX, &n))
      c.first_timestamp = static_cast<uint32_t>(n);
    else
      warn("KSIM_FIRST_TIMESTAMP", v);
  }
  if (const auto v = env("KSIM_AUDIO_SAMPLES"); !v.empty()) {
    std::vector<int> sizes;
    for (const auto &part : split(v, ',')) {
      if (parse_int(part, 1, 65536, &n))
        sizes.push_back(static_cast<int>(n));
      else
        warn("KSIM_AUDIO_SAMPLES", part);
    }
    if (!sizes.empty()) c.audio_sizes = sizes;
  }
  if (const auto v = env("KSIM_FAULT"); !v.empty()) {
    if (v == "packets")
      c.fault_packets = true;
    else
      warn("KSIM_FAULT", v);
  }
  if (const auto v = env("KSIM_MOTOR_SPEED"); !v.empty()) {
    double speed = 0;
    if (v == "instant")
      c.motor_speed = kInstantMotor;
    else if (parse_positive(v, &speed))
      c.motor_speed = speed;
    else
      warn("KSIM_MOTOR_SPEED", v);
  }
  c.trace_path = env("KSIM_TRACE");
  c.replay_dir = env("KSIM_REPLAY");
  if (const auto v = env("KSIM_FAIL"); !v.empty()) {
    for (const auto &entry : split(v, ','))
      if (!entry.empty()) parse_fail_entry(entry);
  }
  return c;
}

}  // namespace

const Config &config() {
  // Never destroyed, like the frame source: other threads may still call in
  // while the process exits.
  static const Config &c = *new Config(read_config());
  return c;
}

std::optional<int> injected_failure(const char *function) {
  config();  // the rules are parsed with the rest of the environment
  std::lock_guard<std::mutex> hold(fail_lock);
  const auto it = fail_rules.find(function);
  if (it == fail_rules.end()) return std::nullopt;
  FailRule &rule = it->second;
  ++rule.calls;
  if (rule.calls < rule.from_call) return std::nullopt;
  return rule.value;
}

}  // namespace ksim
