// The simulator's test controls, read from the environment once, at the first
// driver call.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace ksim {

// How fast the simulated motor turns, in degrees per second: across its
// 62-degree range in 1.55 s, as a real Kinect's motor takes a second or two.
constexpr double kMotorSpeed = 40;
constexpr double kInstantMotor = std::numeric_limits<double>::infinity();

struct Config {
  int devices = 1;                    // KSIM_DEVICES: devices attached
  bool fast = false;                  // KSIM_PACE=fast: no sleeping, a virtual clock per context
  uint64_t end_after = 0;             // KSIM_END_AFTER: deliveries per stream, 0 = endless
  uint32_t first_timestamp = 0;       // KSIM_FIRST_TIMESTAMP: timestamp of frame 0
  std::vector<int> audio_sizes{256};  // KSIM_AUDIO_SAMPLES: samples per delivery, cycling
  bool fault_packets = false;         // KSIM_FAULT=packets: bad depth packets after each frame
  std::string trace_path;             // KSIM_TRACE: empty = no trace
  std::string replay_dir;             // KSIM_REPLAY: empty = the synthetic scene
  double motor_speed = kMotorSpeed;   // KSIM_MOTOR_SPEED: degrees per second, or kInstantMotor
};

const Config &config();

// The value an injected failure (KSIM_FAIL) makes this call of `function`
// return, counting the call; nothing when the call should run normally.
std::optional<int> injected_failure(const char *function);

}  // namespace ksim
