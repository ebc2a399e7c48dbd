// The ROS 2 (Humble) messages a Kinect node publishes, as plain structs with
// their fields in wire order: builtin_interfaces Time, std_msgs Header,
// sensor_msgs Image, CameraInfo (with RegionOfInterest), PointCloud2 (with
// PointField) and Imu, geometry_msgs Vector3, Quaternion, Transform and
// TransformStamped, tf2_msgs TFMessage. Their CDR codec is in ros_cdr.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrel::msgs {

// builtin_interfaces/msg/Time
struct Time {
  int32_t sec = 0;
  uint32_t nanosec = 0;
};

// std_msgs/msg/Header
struct Header {
  Time stamp;
  std::string frame_id;
};

// The uint8[] data of an Image or a PointCloud2. A decoder fills `bytes`.
// An encoder writes `bytes`, unless `produce` is set: then it reserves
// `produced_size` bytes in the payload and calls `produce` once with their
// address (during DataWriter::write, on the writing thread), so that a
// publisher builds its data straight into the payload (a point cloud) or
// copies it there once from where it lies (a frame buffer: borrowed()).
// `produce` must write all `produced_size` bytes.
struct ByteData {
  std::vector<uint8_t> bytes;
  size_t produced_size = 0;
  std::function<void(uint8_t *out)> produce;

  size_t size() const { return produce ? produced_size : bytes.size(); }
};

// Data copied once, when the message is encoded, from the `size` bytes at
// `source`; they must stay valid and unchanged until then.
ByteData borrowed(const uint8_t *source, size_t size);

// sensor_msgs/msg/Image
struct Image {
  Header header;
  uint32_t height = 0;
  uint32_t width = 0;
  std::string encoding;  // "rgb8", "16UC1", ...
  uint8_t is_bigendian = 0;
  uint32_t step = 0;  // bytes per row
  ByteData data;
};

// sensor_msgs/msg/RegionOfInterest
struct RegionOfInterest {
  uint32_t x_offset = 0;
  uint32_t y_offset = 0;
  uint32_t height = 0;
  uint32_t width = 0;
  bool do_rectify = false;
};

// sensor_msgs/msg/CameraInfo. K, R and P row-major; all zero: uncalibrated.
struct CameraInfo {
  Header header;
  uint32_t height = 0;
  uint32_t width = 0;
  std::string distortion_model;
  std::vector<double> d;
  std::array<double, 9> k{};
  std::array<double, 9> r{};
  std::array<double, 12> p{};
  uint32_t binning_x = 0;
  uint32_t binning_y = 0;
  RegionOfInterest roi;
};

// sensor_msgs/msg/PointField
struct PointField {
  static constexpr uint8_t INT8 = 1;
  static constexpr uint8_t UINT8 = 2;
  static constexpr uint8_t INT16 = 3;
  static constexpr uint8_t UINT16 = 4;
  static constexpr uint8_t INT32 = 5;
  static constexpr uint8_t UINT32 = 6;
  static constexpr uint8_t FLOAT32 = 7;
  static constexpr uint8_t FLOAT64 = 8;

  std::string name;
  uint32_t offset = 0;  // bytes from the start of a point
  uint8_t datatype = 0;
  uint32_t count = 0;  // elements in the field
};

// sensor_msgs/msg/PointCloud2
struct PointCloud2 {
  Header header;
  uint32_t height = 0;  // 1 for an unorganised cloud
  uint32_t width = 0;
  std::vector<PointField> fields;
  bool is_bigendian = false;
  uint32_t point_step = 0;  // bytes per point
  uint32_t row_step = 0;    // bytes per row
  ByteData data;
  bool is_dense = false;  // true when no point is invalid
};

// geometry_msgs/msg/Vector3
struct Vector3 {
  double x = 0;
  double y = 0;
  double z = 0;
};

// geometry_msgs/msg/Quaternion
struct Quaternion {
  double x = 0;
  double y = 0;
  double z = 0;
  double w = 1;
};

// sensor_msgs/msg/Imu. A covariance whose first element is −1 says that the
// quantity is not provided.
struct Imu {
  Header header;
  Quaternion orientation;
  std::array<double, 9> orientation_covariance{};
  Vector3 angular_velocity;
  std::array<double, 9> angular_velocity_covariance{};
  Vector3 linear_acceleration;  // m/s²
  std::array<double, 9> linear_acceleration_covariance{};
};

// geometry_msgs/msg/Transform
struct Transform {
  Vector3 translation;  // metres
  Quaternion rotation;
};

// geometry_msgs/msg/TransformStamped: child_frame_id's pose in header.frame_id.
struct TransformStamped {
  Header header;
  std::string child_frame_id;
  Transform transform;
};

// tf2_msgs/msg/TFMessage
struct TFMessage {
  std::vector<TransformStamped> transforms;
};

}  // namespace kestrel::msgs
