// The simulator's registration record: its zero plane describes the same
// pinhole as its freenect_camera_to_world, and it has no tables.
#include <libfreenect.h>
#include <libfreenect_registration.h>

#include <gtest/gtest.h>

namespace {

TEST(Registration, zero_plane_gives_the_focal_length_camera_to_world_uses) {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  ASSERT_EQ(freenect_init(&ctx, nullptr), 0);
  ASSERT_EQ(freenect_open_device(ctx, &dev, 0), 0);

  freenect_registration reg = freenect_copy_registration(dev);
  const double distance = reg.zero_plane_info.reference_distance;
  const double pixel = reg.zero_plane_info.reference_pixel_size;
  EXPECT_EQ(distance, 120.0);
  EXPECT_NEAR(pixel, 0.1042, 5e-5);
  EXPECT_NEAR(distance / (2 * pixel), 575.8, 1e-3);
  EXPECT_EQ(reg.registration_table, nullptr);
  EXPECT_EQ(reg.raw_to_mm_shift, nullptr);
  EXPECT_EQ(reg.depth_to_rgb_shift, nullptr);

  // A point 2 m away at pixel (500, 100) lies where the zero plane's scale
  // puts it: (u − 320) · z · 2 · pixel size / distance.
  double wx = 0, wy = 0;
  freenect_camera_to_world(dev, 500, 100, 2000, &wx, &wy);
  EXPECT_NEAR(wx, (500 - 320) * 2000 * 2 * pixel / distance, 1e-3);
  EXPECT_NEAR(wy, (100 - 240) * 2000 * 2 * pixel / distance, 1e-3);

  EXPECT_EQ(freenect_destroy_registration(&reg), 0);
  EXPECT_EQ(reg.zero_plane_info.reference_distance, 0.0f);
  freenect_close_device(dev);
  freenect_shutdown(ctx);
}

}  // namespace
