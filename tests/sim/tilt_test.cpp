// The scene seen by the tilted cameras: the level view as it always was, the
// box and the ball where sim/README.md says they land, the wall's depth as the
// tilted plane gives it, and registered depth still on the colour image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "camera.hpp"
#include "scene.hpp"

namespace {

constexpr int kW = ksim::kWidth, kH = ksim::kHeight;
constexpr uint16_t kNoReading = 2047;

uint64_t fnv1a(const void *data, size_t bytes, uint64_t h = 1469598103934665603ull) {
  const auto *b = static_cast<const uint8_t *>(data);
  for (size_t i = 0; i < bytes; ++i) h = (h ^ b[i]) * 1099511628211ull;
  return h;
}

template <typename Pixel>
uint64_t hash16(Pixel pixel) {
  std::vector<uint16_t> frame(kW * kH);
  for (int i = 0; i < kW * kH; ++i) frame[i] = pixel(i % kW, i / kW);
  return fnv1a(frame.data(), frame.size() * 2);
}

std::vector<uint8_t> rgb_frame(double tilt) {
  std::vector<uint8_t> frame(kW * kH * 3);
  ksim::rgb_frame_tilted(tilt, frame.data());
  return frame;
}

std::vector<uint16_t> depth_frame(double tilt) {
  std::vector<uint16_t> frame(kW * kH);
  ksim::depth_frame_tilted(tilt, frame.data());
  return frame;
}

// The middle of the run of pixels around (u, v), along a row (du = 1) or a
// column (dv = 1), for which `inside(u, v)` holds; NAN when the run reaches
// the frame's edge (the object is cut there) or (u, v) is not inside.
template <typename Inside>
double run_middle(int u, int v, int du, int dv, Inside inside) {
  if (!inside(u, v)) return NAN;
  int lo = 0, hi = 0;
  const auto in_frame = [](int x, int y) { return x >= 0 && x < kW && y >= 0 && y < kH; };
  while (in_frame(u - (lo + 1) * du, v - (lo + 1) * dv) &&
         inside(u - (lo + 1) * du, v - (lo + 1) * dv))
    ++lo;
  while (in_frame(u + (hi + 1) * du, v + (hi + 1) * dv) &&
         inside(u + (hi + 1) * du, v + (hi + 1) * dv))
    ++hi;
  if (!in_frame(u - (lo + 1) * du, v - (lo + 1) * dv) ||
      !in_frame(u + (hi + 1) * du, v + (hi + 1) * dv))
    return NAN;
  return (du ? u : v) + (hi - lo) / 2.0;
}

}  // namespace

// Hashes of the level frames taken before the cameras could tilt.
TEST(Tilt, level_frames_are_unchanged) {
  EXPECT_EQ(hash16(ksim::depth_raw11), 0x8ec660792b3966afull);
  EXPECT_EQ(hash16(ksim::depth_mm), 0x873746e974f24c0bull);
  EXPECT_EQ(hash16(ksim::depth_registered), 0xf125347195a8a6b3ull);
  const std::vector<uint8_t> rgb = rgb_frame(0);
  EXPECT_EQ(fnv1a(rgb.data(), rgb.size()), 0xd9465f4e3a82f4b0ull);
  const std::vector<uint16_t> raw = depth_frame(0);
  EXPECT_EQ(fnv1a(raw.data(), raw.size() * 2), 0x8ec660792b3966afull);
}

// The centres of sim/README.md's table, found as the middles of the object's
// runs through them along the row and the column, in both cameras. The
// middle of a run lies up to 2.5 px from the centre's image: perspective on
// the turned face, and the ball's bulge, which the colour camera sees from
// the side.
TEST(Tilt, box_and_ball_centres_land_where_the_model_says) {
  struct Row {
    double tilt;
    bool box;
    double u, v, s, t;  // depth and colour centre
  };
  const Row rows[] = {
      {-20, true, 318.2, 23.9, 284.3, 69.6},   {-10, true, 319.2, 135.2, 286.1, 167.4},
      {0, true, 319.5, 239.5, 286.8, 259.0},   {10, true, 319.2, 343.6, 286.6, 350.0},
      {20, true, 318.3, 454.2, 285.3, 446.1},  {-10, false, 507.1, 40.2, 454.0, 83.8},
      {0, false, 500.0, 150.0, 448.2, 180.2},  {10, false, 498.1, 253.9, 446.6, 271.2},
      {20, false, 501.1, 358.5, 448.8, 362.4},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(testing::Message() << (r.box ? "box" : "ball") << " at " << r.tilt);
    const std::vector<uint16_t> depth = depth_frame(r.tilt);
    const std::vector<uint8_t> rgb = rgb_frame(r.tilt);
    const int u = std::lround(r.u), v = std::lround(r.v);
    const int centre_raw = depth[v * kW + u];
    ASSERT_NE(centre_raw, kNoReading);
    // The box and the ball are nearer than the wall around them by far more.
    const auto on_object = [&](int x, int y) {
      return std::abs(depth[y * kW + x] - centre_raw) <= 60;
    };
    const uint8_t colour[3] = {uint8_t(r.box ? 200 : 40), uint8_t(r.box ? 40 : 160),
                               uint8_t(r.box ? 40 : 60)};
    const auto coloured = [&](int x, int y) {
      const uint8_t *p = &rgb[(y * kW + x) * 3];
      return p[0] == colour[0] && p[1] == colour[1] && p[2] == colour[2];
    };
    const int s = std::lround(r.s), t = std::lround(r.t);
    EXPECT_NEAR(run_middle(u, v, 1, 0, on_object), r.u, 3);
    EXPECT_NEAR(run_middle(s, t, 1, 0, coloured), r.s, 3);
    // Frame edges cut the box at ±20 degrees and the ball at −10 in the
    // depth image: their column runs have no middle.
    const bool cut = r.box ? std::fabs(r.tilt) == 20 : r.tilt == -10;
    if (!cut) {
      EXPECT_NEAR(run_middle(u, v, 0, 1, on_object), r.v, 3);
    }
    if (!(r.box && r.tilt == 20)) {
      EXPECT_NEAR(run_middle(s, t, 0, 1, coloured), r.t, 3);
    }
  }
  // Looking down by 20 degrees the ball, centred at (464.8, −25.2) in the
  // colour image, shows only its lower part, in the top 35 rows.
  const std::vector<uint8_t> down = rgb_frame(-20);
  int green = 0, lowest = 0;
  for (int i = 0; i < kW * kH; ++i) {
    if (down[i * 3] != 40 || down[i * 3 + 1] != 160) continue;
    ++green, lowest = std::max(lowest, i / kW);
  }
  EXPECT_GT(green, 100);
  EXPECT_LT(lowest, 35);
}

// The wall is the plane on which the level camera's 1/z grows linearly from
// row 0 to row 479; along the centre column of a tilted camera its 11-bit
// value is that plane met by each row's ray, to within the level ramp's
// integer steps (1), the nearest level row (0.63) and the rounding (0.5).
// Rows on the box are skipped.
TEST(Tilt, wall_depth_along_the_centre_column_follows_the_tilted_plane) {
  constexpr double kFy = 591.04, kCy = 242.7, kOffset = 3.3309495, kSlope = 0.0030711;
  // Level camera: 1/Z = alpha + beta·row, row = cy − fy·Y/Z.
  constexpr double alpha = kOffset - kSlope * 1100, beta = kSlope * 600 / 479;
  for (double tilt : {-20.0, -10.0, 10.0, 20.0}) {
    const double a = tilt * M_PI / 180, c = std::cos(a), s = std::sin(a);
    const std::vector<uint16_t> depth = depth_frame(tilt);
    int checked = 0;
    double worst = 0;
    for (int v = 0; v < kH; ++v) {
      const double y = (kCy - v) / kFy;
      // The ray (x, y, −1) turned up by the tilt is (x, y c + s, y s − c) in
      // the level camera; the plane (alpha + beta cy) Z − beta fy Y = 1 meets it at
      const double inverse_z = (alpha + beta * kCy) * (c - y * s) - beta * kFy * (y * c + s);
      const double want = (kOffset - inverse_z) / kSlope;
      const int got = depth[v * kW + 320];
      if (got < want - 100) continue;  // the box, far nearer than the wall
      worst = std::max(worst, std::fabs(got - want));
      ++checked;
    }
    EXPECT_GE(checked, kH - 130) << tilt;
    EXPECT_LT(worst, 2.2) << tilt;
  }
}

// The point-cloud viewer's texture lands on its points: every depth pixel
// on the box (found through the tilt to the level image) registers to a
// colour pixel that shows the box, at the box's distance; and where the
// colour image shows the box, the registered depth (if any) is the box's.
TEST(Tilt, registered_depth_lines_up_with_colour_at_every_tilt) {
  for (double tilt : {-20.0, -10.0, 10.0, 20.0}) {
    const ksim::Tilt turned = ksim::tilt_of(tilt);
    const std::vector<uint8_t> rgb = rgb_frame(tilt);
    const auto red = [&](long s, long t) {
      const uint8_t *p = &rgb[(t * kW + s) * 3];
      return p[0] == 200 && p[1] == 40 && p[2] == 40;
    };
    struct Point {
      long s, t;
      uint16_t mm;
    };
    std::vector<Point> box;
    uint16_t near = 65535, far = 0;
    for (int v = 0; v < kH; ++v) {
      for (int u = 0; u < kW; ++u) {
        const uint16_t mm = ksim::depth_mm_tilted(u, v, tilt);
        double lu, lv, s, t;
        ksim::untilt(turned, u, v, &lu, &lv);
        if (mm == 0 || lu < 241 || lu > 398 || lv < 181 || lv > 298) continue;  // box, 1 px in
        ksim::depth_to_colour(u, v, 1000.0 / mm, &s, &t);
        const long si = std::lround(s), ti = std::lround(t);
        if (si < 0 || si >= kW || ti < 0 || ti >= kH) continue;
        box.push_back({si, ti, mm});
        near = std::min(near, mm), far = std::max(far, mm);
      }
    }
    ASSERT_GT(box.size(), 5000u) << tilt;
    const auto box_distance = [&](long s, long t) {
      const uint16_t mm = ksim::depth_registered_tilted(s, t, tilt);
      return mm >= near && mm <= far;
    };
    size_t textured = 0;
    for (const Point &p : box) textured += red(p.s, p.t) && box_distance(p.s, p.t);
    EXPECT_GT(textured, box.size() * 97 / 100) << tilt;
    size_t red_pixels = 0, red_at_box_distance = 0;
    for (int t = 0; t < kH; ++t) {
      for (int s = 0; s < kW; ++s) {
        // Where no depth pixel lands (beyond the cut edge of the depth
        // image at ±20 degrees) there is no registered depth to check.
        if (!red(s, t) || ksim::depth_registered_tilted(s, t, tilt) == 0) continue;
        ++red_pixels, red_at_box_distance += box_distance(s, t);
      }
    }
    EXPECT_GT(red_at_box_distance, red_pixels * 97 / 100) << tilt;
  }
}
