// The fixed scene: a wall whose distance grows from the bottom row to the top
// row, a box and a ball in front of it, a blind strip on the left and the box's
// shadow on its right; the colour image seen from a camera beside the depth
// camera; four periodic microphone signals.
#include "scene.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "camera.hpp"

namespace ksim {
namespace {

// What a pixel of the depth camera looks at.
enum class Surface { kWall, kBox, kBall };

constexpr int kBlindColumns = 8;  // leftmost columns that never get a reading
// The box: columns [240, 400), rows [180, 300), 11-bit depth 600 (about 0.67 m).
constexpr int kBoxLeft = 240, kBoxRight = 400, kBoxTop = 180, kBoxBottom = 300;
constexpr uint16_t kBoxRaw = 600;
constexpr int kShadowRight = 420;  // the box's shadow: columns [400, 420) of the box's rows
// The ball: centre (500, 150), radius 50 pixels; 11-bit depth 700 at the centre,
// rising by one per 50 squared pixels of distance from it.
constexpr int kBallU = 500, kBallV = 150, kBallRadius = 50;
constexpr uint16_t kBallRaw = 700;
// The wall: 11-bit depth 1100 in the top row falling linearly to 500 in the bottom row.
constexpr int kWallTopRaw = 1100, kWallBottomRaw = 500;

bool in_box(int u, int v) {
  return u >= kBoxLeft && u < kBoxRight && v >= kBoxTop && v < kBoxBottom;
}

int ball_distance2(int u, int v) {
  return (u - kBallU) * (u - kBallU) + (v - kBallV) * (v - kBallV);
}

Surface surface_at(int u, int v) {
  if (in_box(u, v)) return Surface::kBox;
  if (ball_distance2(u, v) <= kBallRadius * kBallRadius) return Surface::kBall;
  return Surface::kWall;
}

uint16_t wall_raw(int v) {
  return static_cast<uint16_t>(kWallTopRaw - ((kWallTopRaw - kWallBottomRaw) * v) / (kHeight - 1));
}

bool in_frame(int u, int v) {
  return u >= 0 && u < kWidth && v >= 0 && v < kHeight;
}

// The wall's pattern at depth pixel (u, v), also beyond the depth image's
// edges: a colour gradient with a 32-pixel checkerboard, so that texture
// mapping shows.
void wall_colour(int u, int v, uint8_t out[3]) {
  const auto floor_div = [](int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  int r = 70 + (150 * u) / (kWidth - 1), g = 70 + (150 * v) / (kHeight - 1), b = 180;
  if ((floor_div(u, 32) + floor_div(v, 32)) % 2 != 0) r = r * 3 / 4, g = g * 3 / 4, b = b * 3 / 4;
  out[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
  out[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
  out[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
}

// The depth pixel at which a surface whose depth depends on the pixel (`raw`
// of the pixel) is seen from colour pixel (s, t): a few fixed-point steps
// from `guess`, since the parallax changes little with depth.
template <typename Raw>
void find_on_surface(double s, double t, double guess, Raw raw, long *u, long *v) {
  double du = 0, dv = 0, r = guess;
  for (int i = 0; i < 6; ++i) {
    colour_to_depth(s, t, inverse_metres(static_cast<uint16_t>(std::lround(r))), &du, &dv);
    r = raw(du, dv);
  }
  *u = std::lround(du), *v = std::lround(dv);
}

// The registered depth of the scene, computed once.
const std::vector<uint16_t> &registered_table() {
  static const std::vector<uint16_t> table = [] {
    std::vector<uint16_t> raw(kWidth * kHeight), out(kWidth * kHeight);
    for (int v = 0; v < kHeight; ++v) {
      for (int u = 0; u < kWidth; ++u) raw[v * kWidth + u] = depth_raw11(u, v);
    }
    register_depth(raw.data(), out.data());
    return out;
  }();
  return table;
}

}  // namespace

uint16_t depth_raw11(int u, int v) {
  if (!in_frame(u, v) || u < kBlindColumns) return kRawNoReading;
  if (u >= kBoxRight && u < kShadowRight && v >= kBoxTop && v < kBoxBottom) return kRawNoReading;
  switch (surface_at(u, v)) {
    case Surface::kBox:
      return kBoxRaw;
    case Surface::kBall:
      return static_cast<uint16_t>(kBallRaw + ball_distance2(u, v) / 50);
    case Surface::kWall:
      break;
  }
  return wall_raw(v);
}

uint16_t mm_from_raw(uint16_t raw) {
  if (raw >= kRawNoReading) return 0;
  // Inverse distance is linear in the 11-bit value: 1/z[m] = 3.3309495 - 0.0030711 raw.
  const double inverse_m = 3.3309495 - 0.0030711 * raw;
  if (inverse_m <= 0) return 0;
  const long mm = std::lround(1000.0 / inverse_m);
  return mm > 10000 ? 0 : static_cast<uint16_t>(mm);
}

uint16_t depth_mm(int u, int v) {
  return mm_from_raw(depth_raw11(u, v));
}

uint16_t depth_registered(int u, int v) {
  if (!in_frame(u, v)) return 0;
  return registered_table()[v * kWidth + u];
}

void rgb(int u, int v, uint8_t out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (!in_frame(u, v)) return;
  // Nearest surface first: the box, the ball, then the wall behind them.
  long du, dv;
  find_on_surface(
      u, v, kBoxRaw, [](double, double) { return double{kBoxRaw}; }, &du, &dv);
  if (in_box(du, dv)) {
    out[0] = 200, out[1] = 40, out[2] = 40;
    return;
  }
  find_on_surface(
      u, v, kBallRaw,
      [](double bu, double bv) {
        return kBallRaw + ((bu - kBallU) * (bu - kBallU) + (bv - kBallV) * (bv - kBallV)) / 50;
      },
      &du, &dv);
  if (ball_distance2(du, dv) <= kBallRadius * kBallRadius) {
    out[0] = 40, out[1] = 160, out[2] = 60;
    return;
  }
  find_on_surface(
      u, v, kWallBottomRaw,
      [](double, double wv) {
        return kWallTopRaw - (kWallTopRaw - kWallBottomRaw) * wv / (kHeight - 1);
      },
      &du, &dv);
  wall_colour(static_cast<int>(du), static_cast<int>(dv), out);
}

int32_t audio_sample(int mic, uint64_t n) {
  switch (mic) {
    case 0: {  // triangle, 100 Hz (160 samples), full scale: +FS at 40, -FS at 120
      const int64_t k = static_cast<int64_t>(n % 160);
      const int64_t steps = k <= 40 ? k : k <= 120 ? 80 - k : k - 160;
      return static_cast<int32_t>(steps * kFullScale / 40);
    }
    case 1: {  // rising sawtooth, 50 Hz (320 samples), from -FS/2 to just below +FS/2
      const int64_t k = static_cast<int64_t>(n % 320);
      return static_cast<int32_t>((k - 160) * (kFullScale / 2) / 160);
    }
    case 2:  // square, 250 Hz (64 samples), +FS/4 for the first half, -FS/4 for the second
      return (n % 64) < 32 ? kFullScale / 4 : -(kFullScale / 4);
    case 3: {  // sine, 1000 Hz (16 samples), amplitude FS/8
      const double phase = 2.0 * 3.14159265358979323846 * static_cast<double>(n % 16) / 16.0;
      return static_cast<int32_t>(std::lround(std::sin(phase) * (kFullScale / 8)));
    }
    default:
      return 0;
  }
}

uint32_t frame_timestamp(uint32_t first, uint64_t frame) {
  return static_cast<uint32_t>(first + frame * kTimestampStep);
}

}  // namespace ksim
