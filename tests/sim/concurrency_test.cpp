// One thread pumps events while another drives the LED, the motor and the
// streams of the same device, as the depth viewer does; run under TSan too.
#include <libfreenect.h>
#include <libfreenect_audio.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim_env.hpp"

namespace {

std::atomic<int> depth_frames{0}, audio_deliveries{0};

void on_depth(freenect_device *dev, void *, uint32_t) {
  ++depth_frames;
  freenect_set_led(dev, LED_GREEN);  // the library may be re-entered from a callback
}

void on_audio(freenect_device *dev, int, int32_t *, int32_t *, int32_t *, int32_t *, int16_t *,
              void *) {
  ++audio_deliveries;
  (void)freenect_get_user(dev);
}

}  // namespace

TEST(Concurrency, led_and_tilt_from_another_thread_while_pumping) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_MOTOR_SPEED", "instant"}});
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  ASSERT_EQ(freenect_init(&ctx, nullptr), 0);
  ASSERT_EQ(freenect_open_device(ctx, &dev, 0), 0);
  freenect_set_depth_callback(dev, on_depth);
  freenect_set_audio_in_callback(dev, on_audio);
  ASSERT_EQ(freenect_set_depth_mode(dev, freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM,
                                                                  FREENECT_DEPTH_11BIT_PACKED)),
            0);
  ASSERT_EQ(freenect_start_depth(dev), 0);
  ASSERT_EQ(freenect_start_audio(dev), 0);

  std::atomic<bool> die{false};
  std::thread pump([&] {
    while (!die && freenect_process_events(ctx) >= 0) {
    }
  });
  // Keep at it until the pump has delivered frames meanwhile, so the calls overlap.
  int angle = 0;
  for (int i = 0; i < 300 || depth_frames < 20; ++i) {
    angle = i % 61 - 30;
    EXPECT_EQ(freenect_set_led(dev, static_cast<freenect_led_options>(i % 7)), 0);
    EXPECT_EQ(freenect_set_tilt_degs(dev, angle), 0);
    EXPECT_EQ(freenect_update_tilt_state(dev), 0);
    if (i % 50 == 0) {
      EXPECT_EQ(freenect_stop_video(dev), -1);
      EXPECT_EQ(freenect_start_video(dev), 0);
      EXPECT_EQ(freenect_stop_video(dev), 0);
    }
  }
  die = true;
  pump.join();
  EXPECT_GT(audio_deliveries.load(), 0);
  const freenect_raw_tilt_state *s = freenect_get_tilt_state(dev);
  EXPECT_EQ(freenect_get_tilt_degs(const_cast<freenect_raw_tilt_state *>(s)), angle);
  EXPECT_EQ(freenect_shutdown(ctx), 0);
}
