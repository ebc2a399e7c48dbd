// Organised point clouds from a depth image in millimetres and its camera
// info, written straight into the buffer they travel in: XYZRGB (x y z rgb
// FLOAT32 at 0, 4, 8, 16, 32 bytes a point) from registered depth and the
// rgb image it is aligned to, XYZ (x y z at 0, 4, 8, 16 bytes a point) from
// the depth camera's own view. Metres in the optical frame (x right, y down,
// z forward); NaN where there is no reading.
//
// Plain functions of their arguments, run on the cloud's publishing thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ros_messages.hpp"

namespace kestrel::service {

constexpr uint32_t kXyzrgbPointStep = 32;
constexpr uint32_t kXyzPointStep = 16;

// Per column (u − cx) / fx and per row (v − cy) / fy, from the camera
// info's K: a point's x and y are these times its z.
struct CloudRays {
  std::vector<float> x;  // one per column
  std::vector<float> y;  // one per row
};
CloudRays cloud_rays(const msgs::CameraInfo &info);

// The cloud's message without header and data: height, width, fields,
// steps, is_dense false.
msgs::PointCloud2 cloud_layout(const CloudRays &rays, bool colour);
size_t cloud_bytes(const CloudRays &rays, bool colour);

// Writes every point (cloud_bytes(rays, ...) bytes) into `out`; the padding
// bytes are zero. `depth_mm` has one value per pixel (0: no reading),
// `rgb` three bytes per pixel.
void fill_xyzrgb(const CloudRays &rays, const uint16_t *depth_mm, const uint8_t *rgb, uint8_t *out);
void fill_xyz(const CloudRays &rays, const uint16_t *depth_mm, uint8_t *out);

}  // namespace kestrel::service
