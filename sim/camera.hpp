// The two cameras of the simulated Kinect: the depth camera's pinhole model
// and the fixed calibration that takes its 3D points into the colour image.
// The scene's colour image and every registered depth frame are made with it.
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

// Registered depth: the millimetres of every depth pixel with a reading,
// moved to the colour pixel that sees it (the nearer wins where two meet);
// 0 where no depth pixel lands. Both arrays hold 640 × 480 values.
void register_depth(const uint16_t *raw11, uint16_t *registered);

}  // namespace ksim
