// Registration helpers: camera-to-world conversion and the RGB-to-depth map.
#include <libfreenect_registration.h>

#include <cmath>
#include <cstring>

#include "camera.hpp"
#include "config.hpp"
#include "device.hpp"
#include "scene.hpp"
#include "trace.hpp"

using namespace ksim;

namespace {

constexpr double kFocalPixels = 575.8;  // depth camera's focal length at 640 × 480

bool live_device(freenect_device *handle) {
  std::lock_guard<std::mutex> hold(state_lock);
  return find_device(handle) != nullptr;
}

}  // namespace

extern "C" {

freenect_registration freenect_copy_registration(freenect_device *) {
  TraceLine(__func__).end();
  // The simulator has no calibration tables: every pointer is null. The zero
  // plane describes the pinhole freenect_camera_to_world uses: a reference
  // distance of 120 mm, as a real Kinect reports, and the pixel size that
  // gives kFocalPixels (the zero plane's pixels are those of the 1280-wide
  // sensor, hence the factor 2).
  constexpr float kReferenceDistanceMm = 120;  // zero plane's distance, as a real Kinect's
  freenect_registration reg;
  std::memset(&reg, 0, sizeof reg);
  reg.zero_plane_info.reference_distance = kReferenceDistanceMm;
  reg.zero_plane_info.reference_pixel_size =
      static_cast<float>(kReferenceDistanceMm / (2 * kFocalPixels));
  return reg;
}

int freenect_destroy_registration(freenect_registration *reg) {
  TraceLine t(__func__);
  return traced(t, [&] {
    if (!reg) return -1;
    std::memset(reg, 0, sizeof *reg);
    return 0;
  });
}

void freenect_camera_to_world(freenect_device *dev, int cx, int cy, int wz, double *wx,
                              double *wy) {
  TraceLine(__func__).arg(cx).arg(cy).arg(wz).end();
  if (!wx || !wy || !live_device(dev)) return;
  // Pinhole back-projection about the image centre; wz and the results in mm.
  *wx = (cx - kWidth / 2) * static_cast<double>(wz) / kFocalPixels;
  *wy = (cy - kHeight / 2) * static_cast<double>(wz) / kFocalPixels;
}

void freenect_map_rgb_to_depth(freenect_device *dev, uint16_t *depth_mm, uint8_t *rgb_raw,
                               uint8_t *rgb_registered) {
  TraceLine(__func__).end();
  if (!depth_mm || !rgb_raw || !rgb_registered || !live_device(dev)) return;
  // Each depth pixel with a reading takes the colour of the colour pixel that sees it.
  for (int v = 0; v < kHeight; ++v) {
    for (int u = 0; u < kWidth; ++u) {
      uint8_t *out = rgb_registered + (v * kWidth + u) * 3;
      out[0] = out[1] = out[2] = 0;
      const uint16_t mm = depth_mm[v * kWidth + u];
      if (mm == 0) continue;
      double s, t;
      depth_to_colour(u, v, 1000.0 / mm, &s, &t);
      const long si = std::lround(s), ti = std::lround(t);
      if (si >= 0 && si < kWidth && ti >= 0 && ti < kHeight)
        std::memcpy(out, rgb_raw + (ti * kWidth + si) * 3, 3);
    }
  }
}

}  // extern "C"
