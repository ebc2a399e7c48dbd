// Test set-up for the simulator's unit tests. The simulator reads its KSIM_*
// variables once per process, at the first driver call, so each test sets
// them first and the tests run one per process (as ctest runs them).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace ksim_test {

// Sets the simulator's variables for this process; true when that is still
// possible (no earlier test ran in this process).
inline bool use_env(const std::map<std::string, std::string> &vars) {
  static bool used = false;
  if (used) return false;
  used = true;
  for (const char *name :
       {"KSIM_DEVICES", "KSIM_PACE", "KSIM_FAIL", "KSIM_END_AFTER", "KSIM_FIRST_TIMESTAMP",
        "KSIM_AUDIO_SAMPLES", "KSIM_FAULT", "KSIM_TRACE", "KSIM_REPLAY", "KSIM_MOTOR_SPEED"})
    unsetenv(name);
  for (const auto &[name, value] : vars) setenv(name.c_str(), value.c_str(), 1);
  return true;
}

}  // namespace ksim_test

// Skips the test when another test already fixed the environment of this process.
#define KSIM_USE_ENV(...)                                                       \
  do {                                                                          \
    if (!ksim_test::use_env(__VA_ARGS__))                                       \
      GTEST_SKIP() << "the simulator's settings are per process: run one test " \
                      "per process (ctest does)";                               \
  } while (0)
