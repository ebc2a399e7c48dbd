#include "camera.hpp"

#include <cmath>

#include "scene.hpp"

namespace ksim {
namespace {

// Depth camera: focal lengths and principal point in pixels.
constexpr double kFx = 594.21, kFy = 591.04, kCx = 339.5, kCy = 242.7;
// 1/z in 1/m = kInvOffset − kInvSlope × raw
constexpr double kInvOffset = 3.3309495, kInvSlope = 0.0030711;

// Rows 1, 2 and 4 of the projection of a homogeneous depth-camera point
// (x, y, −1, w) to homogeneous colour pixel coordinates (s', t', ·, q').
constexpr double kRowS[4] = {534.8663, -4.707247, -319.67078, -6.984456};
constexpr double kRowT[4] = {3.896548, -528.8436, -260.9997, 3.3113978};
constexpr double kRowQ[4] = {0.01747042, -0.01227534, -0.999772, 0.010916736};

double dot(const double row[4], double x, double y, double w) {
  return row[0] * x + row[1] * y - row[2] + row[3] * w;
}

}  // namespace

double inverse_metres(uint16_t raw) {
  if (raw >= kRawNoReading) return 0;
  return std::fmax(0.0, kInvOffset - kInvSlope * raw);
}

void depth_to_colour(double u, double v, double w, double *s, double *t) {
  const double x = (u - kCx) / kFx, y = (kCy - v) / kFy;
  const double q = dot(kRowQ, x, y, w);
  *s = dot(kRowS, x, y, w) / q;
  *t = dot(kRowT, x, y, w) / q;
}

void colour_to_depth(double s, double t, double w, double *u, double *v) {
  // s·q' = s' and t·q' = t' are two linear equations in x and y.
  const double a = kRowS[0] - s * kRowQ[0], b = kRowS[1] - s * kRowQ[1];
  const double c = kRowT[0] - t * kRowQ[0], d = kRowT[1] - t * kRowQ[1];
  const double e = -((s * kRowQ[2] - kRowS[2]) + (kRowS[3] - s * kRowQ[3]) * w);
  const double f = -((t * kRowQ[2] - kRowT[2]) + (kRowT[3] - t * kRowQ[3]) * w);
  const double det = a * d - b * c;
  const double x = (e * d - b * f) / det, y = (a * f - e * c) / det;
  *u = x * kFx + kCx;
  *v = kCy - y * kFy;
}

double tilted_raw(double raw, double scale) {
  return (kInvOffset - (kInvOffset - kInvSlope * raw) * scale) / kInvSlope;
}

Tilt tilt_of(double degrees) {
  constexpr double kPi = 3.14159265358979323846;
  if (degrees == 0) return Tilt{};
  const double a = degrees * kPi / 180;
  return Tilt{std::cos(a), std::sin(a), false};
}

double untilt(const Tilt &tilt, double u, double v, double *u0, double *v0) {
  if (tilt.level) {
    *u0 = u, *v0 = v;
    return 1;
  }
  // The ray (x, y, −1) of the tilted camera, turned up by the tilt about the
  // x axis, is (x, y cos + sin, y sin − cos) in the level camera; scaled to
  // z = −1 it meets the level image plane. A point on the ray lies `scale`
  // times as far along the level camera's axis as along the tilted one's, so
  // the tilted camera's 1/z is the level one's times `scale`.
  const double x = (u - kCx) / kFx, y = (kCy - v) / kFy;
  const double scale = tilt.cos - y * tilt.sin;
  *u0 = kCx + kFx * x / scale;
  *v0 = kCy - kFy * (y * tilt.cos + tilt.sin) / scale;
  return scale;
}

void register_depth(const uint16_t *raw11, uint16_t *registered) {
  for (int i = 0; i < kWidth * kHeight; ++i) registered[i] = 0;
  for (int v = 0; v < kHeight; ++v) {
    for (int u = 0; u < kWidth; ++u) {
      const uint16_t raw = raw11[v * kWidth + u];
      const uint16_t mm = mm_from_raw(raw);
      if (mm == 0) continue;
      double s, t;
      depth_to_colour(u, v, inverse_metres(raw), &s, &t);
      const long si = std::lround(s), ti = std::lround(t);
      if (si < 0 || si >= kWidth || ti < 0 || ti >= kHeight) continue;
      uint16_t &out = registered[ti * kWidth + si];
      if (out == 0 || mm < out) out = mm;
    }
  }
}

}  // namespace ksim
