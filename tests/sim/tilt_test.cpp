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

uint64_t fnv1a(const void *data, size_t bytes) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < bytes; ++i)
    h = (h ^ static_cast<const uint8_t *>(data)[i]) * 1099511628211ull;
  return h;
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

// The box's red or the ball's green at colour pixel (s, t).
bool shows(const std::vector<uint8_t> &rgb, long s, long t, bool box) {
  const uint8_t *p = &rgb[(t * kW + s) * 3];
  return box ? p[0] == 200 && p[1] == 40 && p[2] == 40 : p[0] == 40 && p[1] == 160 && p[2] == 60;
}

// The middle of the run through (u, v) along (du, dv) of pixels where
// `inside` holds; NAN when the run reaches the frame's edge (the object is cut).
template <typename Inside>
double run_middle(int u, int v, int du, int dv, Inside inside) {
  const auto in = [&](int k) {
    const int x = u + k * du, y = v + k * dv;
    return x >= 0 && x < kW && y >= 0 && y < kH ? (inside(x, y) ? 1 : 0) : -1;
  };
  int lo = 0, hi = 0;
  while (in(lo - 1) == 1) --lo;
  while (in(hi + 1) == 1) ++hi;
  if (in(lo - 1) < 0 || in(hi + 1) < 0) return NAN;
  return (du ? u : v) + (lo + hi) / 2.0;
}

}  // namespace

// Hashes of the level frames taken before the cameras could tilt.
TEST(Tilt, level_frames_are_unchanged) {
  const std::vector<uint16_t> raw = depth_frame(0);
  EXPECT_EQ(fnv1a(raw.data(), raw.size() * 2), 0x8ec660792b3966afull);
  std::vector<uint16_t> registered(kW * kH);
  for (int i = 0; i < kW * kH; ++i) registered[i] = ksim::depth_registered(i % kW, i / kW);
  EXPECT_EQ(fnv1a(registered.data(), registered.size() * 2), 0xf125347195a8a6b3ull);
  const std::vector<uint8_t> rgb = rgb_frame(0);
  EXPECT_EQ(fnv1a(rgb.data(), rgb.size()), 0xd9465f4e3a82f4b0ull);
}

// The centres of sim/README.md's table are the middles (within 3 px:
// perspective and the ball's bulge) of the object's runs through them along
// the row and, where no frame edge cuts it, the column, in both cameras.
TEST(Tilt, box_and_ball_centres_land_where_the_model_says) {
  struct Row {
    double tilt;
    bool box, cut_depth, cut_colour;  // cut: the column run reaches an edge
    double u, v, s, t;                // depth and colour centre
  };
  const Row rows[] = {
      {-20, true, true, false, 318.2, 23.9, 284.3, 69.6},
      {-10, true, false, false, 319.2, 135.2, 286.1, 167.4},
      {10, true, false, false, 319.2, 343.6, 286.6, 350.0},
      {20, true, true, true, 318.3, 454.2, 285.3, 446.1},
      {-10, false, true, false, 507.1, 40.2, 454.0, 83.8},
      {10, false, false, false, 498.1, 253.9, 446.6, 271.2},
      {20, false, false, false, 501.1, 358.5, 448.8, 362.4},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(testing::Message() << (r.box ? "box" : "ball") << " at " << r.tilt);
    const std::vector<uint16_t> depth = depth_frame(r.tilt);
    const std::vector<uint8_t> rgb = rgb_frame(r.tilt);
    const int u = std::lround(r.u), v = std::lround(r.v), s = std::lround(r.s),
              t = std::lround(r.t);
    // Both are nearer than the wall around them by far more than 60.
    const auto on_object = [&](int x, int y) {
      return std::abs(depth[y * kW + x] - depth[v * kW + u]) <= 60;
    };
    const auto coloured = [&](int x, int y) { return shows(rgb, x, y, r.box); };
    EXPECT_NEAR(run_middle(u, v, 1, 0, on_object), r.u, 3);
    EXPECT_NEAR(run_middle(s, t, 1, 0, coloured), r.s, 3);
    if (!r.cut_depth) {
      EXPECT_NEAR(run_middle(u, v, 0, 1, on_object), r.v, 3);
    }
    if (!r.cut_colour) {
      EXPECT_NEAR(run_middle(s, t, 0, 1, coloured), r.t, 3);
    }
  }
}

// The wall is the plane on which the level camera's 1/z grows linearly from
// row 0 to row 479; down the centre column of a tilted camera its 11-bit
// value is that plane met by each row's ray, to within the level ramp's
// integer steps (1), the nearest level row (0.63) and the rounding (0.5).
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
      // The ray (x, y, −1) turned up is (x, y c + s, y s − c) in the level
      // camera; the plane (alpha + beta cy) Z − beta fy Y = 1 meets it at
      const double y = (kCy - v) / kFy;
      const double inverse_z = (alpha + beta * kCy) * (c - y * s) - beta * kFy * (y * c + s);
      const double want = (kOffset - inverse_z) / kSlope, got = depth[v * kW + 320];
      if (got < want - 100) continue;  // the box, far nearer than the wall
      worst = std::max(worst, std::fabs(got - want));
      ++checked;
    }
    EXPECT_GE(checked, kH - 130) << tilt;
    EXPECT_LT(worst, 2.2) << tilt;
  }
}

// The point-cloud viewer's texture lands on its points: every depth pixel on
// the box (found through the tilt to the level image) registers to a colour
// pixel that shows the box, with a registered depth within the box's.
TEST(Tilt, registered_depth_lines_up_with_colour_at_every_tilt) {
  for (double tilt : {-20.0, -10.0, 10.0, 20.0}) {
    const ksim::Tilt turned = ksim::tilt_of(tilt);
    const std::vector<uint8_t> rgb = rgb_frame(tilt);
    std::vector<std::pair<long, long>> box;  // the colour pixels they register to
    uint16_t near = 65535, far = 0;
    for (int v = 0; v < kH; ++v) {
      for (int u = 0; u < kW; ++u) {
        const uint16_t mm = ksim::depth_mm_tilted(u, v, tilt);
        double lu, lv, s, t;
        ksim::untilt(turned, u, v, &lu, &lv);
        if (mm == 0 || lu < 241 || lu > 398 || lv < 181 || lv > 298) continue;  // box, 1 px in
        ksim::depth_to_colour(u, v, 1000.0 / mm, &s, &t);
        if (s < 0 || s > kW - 1 || t < 0 || t > kH - 1) continue;
        box.emplace_back(std::lround(s), std::lround(t));
        near = std::min(near, mm), far = std::max(far, mm);
      }
    }
    ASSERT_GT(box.size(), 5000u) << tilt;
    size_t textured = 0;
    for (const auto &[s, t] : box) {
      const uint16_t mm = ksim::depth_registered_tilted(s, t, tilt);
      textured += shows(rgb, s, t, true) && mm >= near && mm <= far;
    }
    EXPECT_GT(textured, box.size() * 97 / 100) << tilt;
  }
}
