// The fixed scene: a wall whose distance grows from the bottom row to the top
// row, a box and a ball in front of it, a blind strip on the left and the box's
// shadow on its right; the colour image seen from a camera beside the depth
// camera; four periodic microphone signals. The world is laid out in the
// pixels of the level depth camera; a tilted camera sees it through the level
// pixel on each of its rays.
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

bool in_box(long u, long v) {
  return u >= kBoxLeft && u < kBoxRight && v >= kBoxTop && v < kBoxBottom;
}

long ball_distance2(long u, long v) {
  return (u - kBallU) * (u - kBallU) + (v - kBallV) * (v - kBallV);
}

Surface surface_at(long u, long v) {
  if (in_box(u, v)) return Surface::kBox;
  if (ball_distance2(u, v) <= kBallRadius * kBallRadius) return Surface::kBall;
  return Surface::kWall;
}

long floor_div(long a, long b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

bool in_frame(int u, int v) {
  return u >= 0 && u < kWidth && v >= 0 && v < kHeight;
}

// The level scene's 11-bit value at level pixel (u, v), also beyond the
// level frame, where the wall and its ramp go on (below 0 far down, above
// 2047 far up); kRawNoReading in the box's shadow.
long level_raw(long u, long v) {
  if (u >= kBoxRight && u < kShadowRight && v >= kBoxTop && v < kBoxBottom) return kRawNoReading;
  switch (surface_at(u, v)) {
    case Surface::kBox:
      return kBoxRaw;
    case Surface::kBall:
      return kBallRaw + ball_distance2(u, v) / 50;
    case Surface::kWall:
      break;
  }
  return kWallTopRaw - floor_div((kWallTopRaw - kWallBottomRaw) * v, kHeight - 1);
}

// The wall's pattern at level pixel (u, v), also beyond the level frame: a
// colour gradient with a 32-pixel checkerboard, so that texture mapping shows.
void wall_colour(long u, long v, uint8_t out[3]) {
  long r = 70 + (150 * u) / (kWidth - 1), g = 70 + (150 * v) / (kHeight - 1), b = 180;
  if ((floor_div(u, 32) + floor_div(v, 32)) % 2 != 0) r = r * 3 / 4, g = g * 3 / 4, b = b * 3 / 4;
  out[0] = static_cast<uint8_t>(std::clamp(r, 0L, 255L));
  out[1] = static_cast<uint8_t>(std::clamp(g, 0L, 255L));
  out[2] = static_cast<uint8_t>(std::clamp(b, 0L, 255L));
}

uint16_t depth_at(const Tilt &tilt, int u, int v) {
  if (!in_frame(u, v) || u < kBlindColumns) return kRawNoReading;  // the sensor's own columns
  double u0, v0;
  const double scale = untilt(tilt, u, v, &u0, &v0);
  const long raw = level_raw(std::lround(u0), std::lround(v0));
  if (tilt.level || raw == kRawNoReading) return static_cast<uint16_t>(raw);
  const long tilted = std::lround(tilted_raw(static_cast<double>(raw), scale));
  return tilted < 0 || tilted > kRawNoReading ? kRawNoReading : static_cast<uint16_t>(tilted);
}

// The level pixel (u0, v0) of a surface seen from colour pixel (s, t), the
// surface's 11-bit value at level pixel (u, v) being `level(u, v)`: a few
// fixed-point steps from `guess` through the tilted depth camera, since the
// parallax changes little with depth. A step that starts from the value of
// the step before lands where it did, so the steps end there.
template <typename Raw>
void find_on_surface(const Tilt &tilt, double s, double t, double guess, Raw level, long *u0,
                     long *v0) {
  double du = 0, dv = 0, r = guess;
  long last = -1;
  for (int i = 0; i < 6; ++i) {
    const long raw = std::clamp(std::lround(r), 0L, long{kRawNoReading});
    if (raw == last) break;
    last = raw;
    colour_to_depth(s, t, inverse_metres(static_cast<uint16_t>(raw)), &du, &dv);
    double lu, lv;
    const double scale = untilt(tilt, du, dv, &lu, &lv);
    r = tilt.level ? level(du, dv) : tilted_raw(level(lu, lv), scale);
  }
  double lu, lv;
  untilt(tilt, du, dv, &lu, &lv);
  *u0 = std::lround(lu), *v0 = std::lround(lv);
}

// The level pixels that colour pixel (s, t) can map to at any depth: the
// depth pixel is affine in the inverse distance (colour_to_depth solves two
// linear equations whose right side is), so over the inverse distances the
// steps below can use (0 to that of raw 0) it runs along one segment, which the tilt maps to a
// segment of level pixels. Their bounding rectangle, widened by a pixel for rounding.
struct Reach {
  double left, right, top, bottom;
  bool meets(double l, double r, double t, double b) const {
    return left <= r && right >= l && top <= b && bottom >= t;
  }
};

Reach reach(const Tilt &tilt, double s, double t) {
  double u[2], v[2];
  for (int end = 0; end < 2; ++end) {
    double du, dv;
    colour_to_depth(s, t, end ? inverse_metres(0) : 0, &du, &dv);
    // A ray turned behind the level camera would break the segment: no bound.
    if (untilt(tilt, du, dv, &u[end], &v[end]) <= 0) return {-1e9, 1e9, -1e9, 1e9};
  }
  return {std::fmin(u[0], u[1]) - 1, std::fmax(u[0], u[1]) + 1, std::fmin(v[0], v[1]) - 1,
          std::fmax(v[0], v[1]) + 1};
}

void colour_at(const Tilt &tilt, int u, int v, uint8_t out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (!in_frame(u, v)) return;
  // Nearest surface first: the box, the ball, then the wall behind them; the
  // box and the ball are looked for only where they can be.
  const Reach can = reach(tilt, u, v);
  long lu = 0, lv = 0;
  if (can.meets(kBoxLeft, kBoxRight - 1, kBoxTop, kBoxBottom - 1))
    find_on_surface(
        tilt, u, v, kBoxRaw, [](double, double) { return double{kBoxRaw}; }, &lu, &lv);
  if (in_box(lu, lv)) {
    out[0] = 200, out[1] = 40, out[2] = 40;
    return;
  }
  lu = lv = 0;
  if (can.meets(kBallU - kBallRadius, kBallU + kBallRadius, kBallV - kBallRadius,
                kBallV + kBallRadius))
    find_on_surface(
        tilt, u, v, kBallRaw,
        [](double bu, double bv) {
          return kBallRaw + ((bu - kBallU) * (bu - kBallU) + (bv - kBallV) * (bv - kBallV)) / 50;
        },
        &lu, &lv);
  if (ball_distance2(lu, lv) <= kBallRadius * kBallRadius) {
    out[0] = 40, out[1] = 160, out[2] = 60;
    return;
  }
  find_on_surface(
      tilt, u, v, kWallBottomRaw,
      [](double, double wv) {
        return kWallTopRaw - (kWallTopRaw - kWallBottomRaw) * wv / (kHeight - 1);
      },
      &lu, &lv);
  wall_colour(lu, lv, out);
}

// The registered depth at a tilt, computed once per angle: the level one
// for good, the last other angle asked for until another is.
const std::vector<uint16_t> &registered_table(double tilt_degs) {
  static const std::vector<uint16_t> level = [] {
    std::vector<uint16_t> raw(kWidth * kHeight), out(kWidth * kHeight);
    depth_frame_tilted(0, raw.data());
    register_depth(raw.data(), out.data());
    return out;
  }();
  if (tilt_degs == 0) return level;
  thread_local double angle = 0;
  thread_local std::vector<uint16_t> tilted;
  if (tilted.empty() || angle != tilt_degs) {
    std::vector<uint16_t> raw(kWidth * kHeight);
    tilted.resize(kWidth * kHeight);
    depth_frame_tilted(tilt_degs, raw.data());
    register_depth(raw.data(), tilted.data());
    angle = tilt_degs;
  }
  return tilted;
}

}  // namespace

uint16_t depth_raw11_tilted(int u, int v, double tilt_degs) {
  return depth_at(tilt_of(tilt_degs), u, v);
}

uint16_t depth_mm_tilted(int u, int v, double tilt_degs) {
  return mm_from_raw(depth_raw11_tilted(u, v, tilt_degs));
}

uint16_t depth_registered_tilted(int u, int v, double tilt_degs) {
  if (!in_frame(u, v)) return 0;
  return registered_table(tilt_degs)[v * kWidth + u];
}

void rgb_tilted(int u, int v, double tilt_degs, uint8_t out[3]) {
  colour_at(tilt_of(tilt_degs), u, v, out);
}

void depth_frame_tilted(double tilt_degs, uint16_t *raw11) {
  const Tilt tilt = tilt_of(tilt_degs);
  for (int v = 0; v < kHeight; ++v) {
    for (int u = 0; u < kWidth; ++u) raw11[v * kWidth + u] = depth_at(tilt, u, v);
  }
}

void rgb_frame_tilted(double tilt_degs, uint8_t *rgb) {
  const Tilt tilt = tilt_of(tilt_degs);
  for (int v = 0; v < kHeight; ++v) {
    for (int u = 0; u < kWidth; ++u) colour_at(tilt, u, v, rgb + (v * kWidth + u) * 3);
  }
}

uint16_t depth_raw11(int u, int v) {
  return depth_raw11_tilted(u, v, 0);
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
  return depth_mm_tilted(u, v, 0);
}

uint16_t depth_registered(int u, int v) {
  return depth_registered_tilted(u, v, 0);
}

void rgb(int u, int v, uint8_t out[3]) {
  rgb_tilted(u, v, 0, out);
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
