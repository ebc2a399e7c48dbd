// One message of each type with every field set to a value of its own, for
// the codec's tests and the comparison with the independent decoder.
#pragma once

#include <cstdint>
#include <tuple>

#include "ros_messages.hpp"

namespace kestrel::test {

namespace msgs = kestrel::msgs;

inline msgs::Header sample_header() {
  return {{1733700000, 123456789}, "camera_rgb_optical_frame"};
}

inline msgs::Image sample_image() {
  msgs::Image m;
  m.header = sample_header();
  m.height = 2;
  m.width = 3;
  m.encoding = "rgb8";
  m.is_bigendian = 0;
  m.step = 9;
  for (int i = 0; i < 18; ++i) m.data.bytes.push_back(static_cast<uint8_t>(i * 14 + 1));
  return m;
}

inline msgs::RegionOfInterest sample_roi() {
  return {10, 20, 30, 40, true};
}

inline msgs::CameraInfo sample_camera_info() {
  msgs::CameraInfo m;
  m.header = {{-5, 999999999}, "camera_depth_optical_frame"};
  m.height = 480;
  m.width = 640;
  m.distortion_model = "plumb_bob";
  m.d = {0.125, -0.25, 0.001, -0.002, 0.0625};
  m.k = {575.8, 0, 320, 0, 575.81, 240, 0, 0, 1};
  m.r = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  m.p = {575.8, 0, 320, 0.5, 0, 575.81, 240, 0.25, 0, 0, 1, 0};
  m.binning_x = 2;
  m.binning_y = 3;
  m.roi = sample_roi();
  return m;
}

inline msgs::PointField sample_point_field() {
  return {"rgb", 16, msgs::PointField::FLOAT32, 1};
}

inline msgs::PointCloud2 sample_cloud() {
  msgs::PointCloud2 m;
  m.header = sample_header();
  m.height = 1;
  m.width = 2;
  m.fields = {{"x", 0, msgs::PointField::FLOAT32, 1},
              {"y", 4, msgs::PointField::FLOAT32, 1},
              {"z", 8, msgs::PointField::FLOAT32, 1},
              sample_point_field()};
  m.is_bigendian = false;
  m.point_step = 32;
  m.row_step = 64;
  for (int i = 0; i < 64; ++i) m.data.bytes.push_back(static_cast<uint8_t>(255 - i * 3));
  m.is_dense = true;
  return m;
}

inline msgs::Vector3 sample_vector() {
  return {0.5, -9.80665, 1e-300};
}

inline msgs::Quaternion sample_quaternion() {
  return {-0.5, 0.5, -0.5, 0.5};
}

inline msgs::Imu sample_imu() {
  msgs::Imu m;
  m.header = {{42, 7}, "camera_link"};
  m.orientation = sample_quaternion();
  m.orientation_covariance = {-1, 0, 0, 0, 0, 0, 0, 0, 0};
  m.angular_velocity = {0.25, 0.5, 0.75};
  m.angular_velocity_covariance = {-1, 2, 3, 4, 5, 6, 7, 8, 9};
  m.linear_acceleration = sample_vector();
  m.linear_acceleration_covariance = {0.01, 0, 0, 0, 0.01, 0, 0, 0, 0.01};
  return m;
}

inline msgs::Transform sample_transform() {
  return {{0, -0.025, 0}, sample_quaternion()};
}

inline msgs::TransformStamped sample_transform_stamped() {
  return {{{0, 0}, "camera_link"}, "camera_depth_optical_frame", sample_transform()};
}

inline msgs::TFMessage sample_tf() {
  msgs::TFMessage m;
  m.transforms.push_back(sample_transform_stamped());
  m.transforms.push_back({{{1, 2}, "camera_link"},
                          "camera_rgb_optical_frame",
                          {{0.001, 0.002, 0.003}, sample_quaternion()}});
  return m;
}

// One of each type, for tests that go through them all with std::apply.
inline auto all_samples() {
  return std::make_tuple(msgs::Time{-7, 500}, sample_header(), sample_image(), sample_roi(),
                         sample_camera_info(), sample_point_field(), sample_cloud(), sample_imu(),
                         sample_vector(), sample_quaternion(), sample_transform(),
                         sample_transform_stamped(), sample_tf());
}

}  // namespace kestrel::test
