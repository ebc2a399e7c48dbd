// The node's messages as a ROS 2 subscriber receives them, decoded by hand
// from little-endian CDR (written from the field lists of the Humble .msg
// definitions; no code shared with service/). Each decoder gives nothing
// unless the payload is exactly one such message (up to 3 bytes of
// trailing alignment).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::wire {

using Bytes = std::vector<uint8_t>;

struct Header {
  int32_t sec = 0;
  uint32_t nanosec = 0;
  std::string frame_id;
  bool operator==(const Header &o) const {
    return sec == o.sec && nanosec == o.nanosec && frame_id == o.frame_id;
  }
  double seconds() const { return sec + nanosec * 1e-9; }
};

struct Image {
  Header header;
  uint32_t height = 0, width = 0;
  std::string encoding;
  uint8_t is_bigendian = 0;
  uint32_t step = 0;
  Bytes data;
};

struct CameraInfo {
  Header header;
  uint32_t height = 0, width = 0;
  std::string distortion_model;
  std::vector<double> d;
  std::array<double, 9> k{}, r{};
  std::array<double, 12> p{};
  uint32_t binning_x = 0, binning_y = 0;
  uint32_t roi_x = 0, roi_y = 0, roi_height = 0, roi_width = 0;
  bool do_rectify = false;
};

struct Field {
  std::string name;
  uint32_t offset = 0;
  uint8_t datatype = 0;
  uint32_t count = 0;
};

struct PointCloud2 {
  Header header;
  uint32_t height = 0, width = 0;
  std::vector<Field> fields;
  bool is_bigendian = false;
  uint32_t point_step = 0, row_step = 0;
  Bytes data;
  bool is_dense = true;
};

struct Vector3 {
  double x = 0, y = 0, z = 0;
};
struct Quaternion {
  double x = 0, y = 0, z = 0, w = 0;
};

struct Imu {
  Header header;
  Quaternion orientation;
  std::array<double, 9> orientation_covariance{};
  Vector3 angular_velocity;
  std::array<double, 9> angular_velocity_covariance{};
  Vector3 linear_acceleration;
  std::array<double, 9> linear_acceleration_covariance{};
};

struct TransformStamped {
  Header header;
  std::string child_frame_id;
  Vector3 translation;
  Quaternion rotation;
};

// rmw_dds_common ParticipantEntitiesInfo with its nodes' gids (24 bytes each).
struct NodeEntities {
  std::string ns, name;
  std::vector<Bytes> readers, writers;
};
struct ParticipantEntities {
  Bytes gid;
  std::vector<NodeEntities> nodes;
};

std::optional<Image> decode_image(const Bytes &payload);
std::optional<CameraInfo> decode_camera_info(const Bytes &payload);
std::optional<PointCloud2> decode_point_cloud(const Bytes &payload);
std::optional<Imu> decode_imu(const Bytes &payload);
std::optional<std::vector<TransformStamped>> decode_tf_message(const Bytes &payload);
std::optional<ParticipantEntities> decode_entities(const Bytes &payload);

// The float of the 4 bytes at `at`, little endian.
float f32_at(const Bytes &data, size_t at);
uint32_t u32_at(const Bytes &data, size_t at);

}  // namespace kestrel::wire
