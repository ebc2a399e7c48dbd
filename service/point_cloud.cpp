#include "point_cloud.hpp"

#include <cstring>
#include <limits>

namespace kestrel::service {

namespace {

constexpr float kMetresPerMm = 0.001f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

msgs::PointField float_field(const char *name, uint32_t offset) {
  return {name, offset, msgs::PointField::FLOAT32, 1};
}

// One point of each layout as it lies in the cloud's data.
struct XyzrgbPoint {
  float x, y, z, pad0;
  float rgb;  // the bits 0x00RRGGBB
  float pad1, pad2, pad3;
};
struct XyzPoint {
  float x, y, z, pad;
};
static_assert(sizeof(XyzrgbPoint) == kXyzrgbPointStep && sizeof(XyzPoint) == kXyzPointStep);

}  // namespace

CloudRays cloud_rays(const msgs::CameraInfo &info) {
  const double fx = info.k[0], cx = info.k[2], fy = info.k[4], cy = info.k[5];
  CloudRays rays;
  rays.x.resize(info.width);
  rays.y.resize(info.height);
  for (uint32_t u = 0; u < info.width; ++u) {
    rays.x[u] = fx > 0 ? static_cast<float>((u - cx) / fx) : kNaN;
  }
  for (uint32_t v = 0; v < info.height; ++v) {
    rays.y[v] = fy > 0 ? static_cast<float>((v - cy) / fy) : kNaN;
  }
  return rays;
}

msgs::PointCloud2 cloud_layout(const CloudRays &rays, bool colour) {
  msgs::PointCloud2 cloud;
  cloud.height = static_cast<uint32_t>(rays.y.size());
  cloud.width = static_cast<uint32_t>(rays.x.size());
  cloud.fields = {float_field("x", 0), float_field("y", 4), float_field("z", 8)};
  if (colour) {
    cloud.fields.push_back(float_field("rgb", 16));
  }
  cloud.is_bigendian = false;
  cloud.point_step = colour ? kXyzrgbPointStep : kXyzPointStep;
  cloud.row_step = cloud.width * cloud.point_step;
  cloud.is_dense = false;
  return cloud;
}

size_t cloud_bytes(const CloudRays &rays, bool colour) {
  return rays.x.size() * rays.y.size() * (colour ? kXyzrgbPointStep : kXyzPointStep);
}

void fill_xyzrgb(const CloudRays &rays, const uint16_t *depth_mm, const uint8_t *rgb,
                 uint8_t *out) {
  const size_t width = rays.x.size();
  for (size_t v = 0; v < rays.y.size(); ++v) {
    const float ray_y = rays.y[v];
    for (size_t u = 0; u < width; ++u, ++depth_mm, rgb += 3, out += kXyzrgbPointStep) {
      XyzrgbPoint point{kNaN, kNaN, kNaN, 0, 0, 0, 0, 0};
      if (*depth_mm != 0) {
        point.z = *depth_mm * kMetresPerMm;
        point.x = rays.x[u] * point.z;
        point.y = ray_y * point.z;
      }
      uint32_t bits = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | rgb[2];
      std::memcpy(&point.rgb, &bits, sizeof(bits));
      std::memcpy(out, &point, sizeof(point));
    }
  }
}

void fill_xyz(const CloudRays &rays, const uint16_t *depth_mm, uint8_t *out) {
  const size_t width = rays.x.size();
  for (size_t v = 0; v < rays.y.size(); ++v) {
    const float ray_y = rays.y[v];
    for (size_t u = 0; u < width; ++u, ++depth_mm, out += kXyzPointStep) {
      XyzPoint point{kNaN, kNaN, kNaN, 0};
      if (*depth_mm != 0) {
        point.z = *depth_mm * kMetresPerMm;
        point.x = rays.x[u] * point.z;
        point.y = ray_y * point.z;
      }
      std::memcpy(out, &point, sizeof(point));
    }
  }
}

}  // namespace kestrel::service
