// The two cameras of the simulated Kinect: the depth camera's pinhole model,
// the fixed calibration that takes its 3D points into the colour image, and
// the motor's tilt, which turns both cameras together about the depth
// camera's horizontal axis. The scene's colour image and every registered
// depth frame are made with it.
#pragma once

#include <cstdint>

namespace ksim {

// Inverse distance in 1/m of an 11-bit depth value; 0 stands for infinitely far
// (values at and beyond the end of the range).
double inverse_metres(uint16_t raw);

// The colour pixel (s, t) that sees what depth pixel (u, v) shows at inverse
// distance w.
void depth_to_colour(double u, double v, double w, double *s, double *t);

// The depth pixel (u, v) whose point at inverse distance w the colour camera
// sees at (s, t).
void colour_to_depth(double s, double t, double w, double *u, double *v);

// The motor's tilt: the cameras rotated by `degrees` about the depth camera's
// x axis through its optical centre (positive looks up).
struct Tilt {
  double cos = 1, sin = 0;
  bool level = true;  // exactly 0 degrees: every mapping below is the identity
};
Tilt tilt_of(double degrees);

// The level depth camera's pixel (u0, v0) that looks along the same ray as
// pixel (u, v) of the tilted depth camera. Returns the ratio of the tilted
// camera's inverse distance (1/z) of a point on that ray to the level one's.
double untilt(const Tilt &tilt, double u, double v, double *u0, double *v0);

// The 11-bit value (not rounded) with which the tilted depth camera sees a
// point that the level one sees as `raw`; `scale` is untilt's ratio.
double tilted_raw(double raw, double scale);

// Registered depth: the millimetres of every depth pixel with a reading,
// moved to the colour pixel that sees it (the nearer wins where two meet);
// 0 where no depth pixel lands. Both arrays hold 640 × 480 values.
void register_depth(const uint16_t *raw11, uint16_t *registered);

}  // namespace ksim
