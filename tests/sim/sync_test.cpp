// The real libfreenect_sync on the simulated driver: this program is linked
// against the system's libraries and run with LD_LIBRARY_PATH at the simulator.
#include <libfreenect.h>
#include <libfreenect_sync.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "scene.hpp"
#include "sim_env.hpp"

namespace {

constexpr int kPixels = ksim::kWidth * ksim::kHeight;

// Counts the pixels of a 16-bit frame that differ from `expected`.
int mismatches(const void *frame, uint16_t (*expected)(int, int)) {
  const auto *samples = static_cast<const uint16_t *>(frame);
  int bad = 0;
  for (int i = 0; i < kPixels; ++i)
    bad += samples[i] != expected(i % ksim::kWidth, i / ksim::kWidth);
  return bad;
}

// The file the dynamic linker took a driver function from.
std::string library_of(void *symbol) {
  Dl_info info{};
  return dladdr(symbol, &info) && info.dli_fname ? info.dli_fname : "";
}

}  // namespace

// Under ThreadSanitizer: the system's libfreenect_sync is not instrumented, and
// its stop path (a plain flag, then freeing its own frame buffers on its
// thread) shows up as races that are outside the simulator.
extern "C" const char *__tsan_default_suppressions() {
  return "race:libfreenect_sync.so\n";
}

TEST(SyncWrapper, runs_on_the_simulator) {
  EXPECT_NE(library_of(reinterpret_cast<void *>(&freenect_init)).find("/sim/libfreenect.so"),
            std::string::npos)
      << library_of(reinterpret_cast<void *>(&freenect_init));
}

TEST(SyncWrapper, frames_in_formats_0_4_5_and_rgb_match_the_scene) {
  KSIM_USE_ENV({});
  void *frame = nullptr;
  uint32_t ts = 0;
  const struct {
    freenect_depth_format fmt;
    uint16_t (*expected)(int, int);
  } cases[] = {{FREENECT_DEPTH_11BIT, ksim::depth_raw11},
               {FREENECT_DEPTH_REGISTERED, ksim::depth_registered},
               {FREENECT_DEPTH_MM, ksim::depth_mm},
               {FREENECT_DEPTH_11BIT, ksim::depth_raw11}};
  for (const auto &c : cases) {
    ASSERT_EQ(freenect_sync_get_depth(&frame, &ts, 0, c.fmt), 0) << c.fmt;
    EXPECT_EQ(mismatches(frame, c.expected), 0) << "format " << c.fmt;
  }
  ASSERT_EQ(freenect_sync_get_video(&frame, &ts, 0, FREENECT_VIDEO_RGB), 0);
  int bad = 0;
  for (int i = 0; i < kPixels; ++i) {
    uint8_t px[3];
    ksim::rgb(i % ksim::kWidth, i / ksim::kWidth, px);
    bad += std::memcmp(px, static_cast<const uint8_t *>(frame) + 3 * i, 3) != 0;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(ts % ksim::kTimestampStep, 0u);
  freenect_sync_stop();
}

TEST(SyncWrapper, led_tilt_and_tilt_state_reach_the_device) {
  KSIM_USE_ENV({{"KSIM_MOTOR_SPEED", "instant"}});
  ASSERT_EQ(freenect_sync_set_led(LED_YELLOW, 0), 0);
  const struct {
    int request;
    double reached;
  } cases[] = {{14, 14}, {-15, -15}, {40, 31}};
  for (const auto &c : cases) {
    ASSERT_EQ(freenect_sync_set_tilt_degs(c.request, 0), 0);
    freenect_raw_tilt_state *state = nullptr;
    ASSERT_EQ(freenect_sync_get_tilt_state(&state, 0), 0);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(freenect_get_tilt_degs(state), c.reached);
    EXPECT_EQ(state->accelerometer_z, std::lround(819 * std::sin(c.reached * M_PI / 180)));
    double x, y, z;
    freenect_get_mks_accel(state, &x, &y, &z);
    EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 9.81, 0.02);
  }
  freenect_sync_stop();
  // After a stop the wrapper opens the device again on demand.
  void *frame = nullptr;
  uint32_t ts = 0;
  ASSERT_EQ(freenect_sync_get_depth(&frame, &ts, 0, FREENECT_DEPTH_MM), 0);
  EXPECT_EQ(mismatches(frame, ksim::depth_mm), 0);
  freenect_sync_stop();
}

TEST(SyncWrapper, fails_without_a_kinect) {
  KSIM_USE_ENV({{"KSIM_DEVICES", "0"}});
  void *frame = nullptr;
  uint32_t ts = 0;
  EXPECT_LT(freenect_sync_get_depth(&frame, &ts, 0, FREENECT_DEPTH_11BIT), 0);
  EXPECT_NE(freenect_sync_set_led(LED_RED, 0), 0);
}
