// camserve's payloads against a decoder nobody here wrote: one message of
// each type, as the hand-written subscriber took it from camserve on the
// simulated Kinect, is decoded by tests/ros_oracle/decode.mjs
// (@foxglove/rosmsg2-serialization over the Humble .msg texts), and every
// field it read is compared with the test's own decoding of the same bytes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "harness.hpp"
#include "service_helpers.hpp"
#include "wire_subscriber.hpp"

namespace kt = kestrel::test;
namespace wire = kestrel::wire;
using nlohmann::json;
using std::chrono::milliseconds;

namespace {

std::string hex(const wire::Bytes &bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

json header(const wire::Header &h) {
  return {{"stamp", {{"sec", h.sec}, {"nanosec", h.nanosec}}}, {"frame_id", h.frame_id}};
}
json vector3(const wire::Vector3 &v) {
  return {{"x", v.x}, {"y", v.y}, {"z", v.z}};
}
json quaternion(const wire::Quaternion &q) {
  return {{"x", q.x}, {"y", q.y}, {"z", q.z}, {"w", q.w}};
}

json fields(const wire::Image &m) {
  return {{"header", header(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"encoding", m.encoding},
          {"is_bigendian", m.is_bigendian},
          {"step", m.step},
          {"data", hex(m.data)}};
}
json fields(const wire::CameraInfo &m) {
  return {{"header", header(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"distortion_model", m.distortion_model},
          {"d", m.d},
          {"k", m.k},
          {"r", m.r},
          {"p", m.p},
          {"binning_x", m.binning_x},
          {"binning_y", m.binning_y},
          {"roi",
           {{"x_offset", m.roi_x},
            {"y_offset", m.roi_y},
            {"height", m.roi_height},
            {"width", m.roi_width},
            {"do_rectify", m.do_rectify}}}};
}
json fields(const wire::PointCloud2 &m) {
  json point_fields = json::array();
  for (const wire::Field &f : m.fields) {
    point_fields.push_back(
        {{"name", f.name}, {"offset", f.offset}, {"datatype", f.datatype}, {"count", f.count}});
  }
  return {{"header", header(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"fields", point_fields},
          {"is_bigendian", m.is_bigendian},
          {"point_step", m.point_step},
          {"row_step", m.row_step},
          {"data", hex(m.data)},
          {"is_dense", m.is_dense}};
}
json fields(const wire::Imu &m) {
  return {{"header", header(m.header)},
          {"orientation", quaternion(m.orientation)},
          {"orientation_covariance", m.orientation_covariance},
          {"angular_velocity", vector3(m.angular_velocity)},
          {"angular_velocity_covariance", m.angular_velocity_covariance},
          {"linear_acceleration", vector3(m.linear_acceleration)},
          {"linear_acceleration_covariance", m.linear_acceleration_covariance}};
}
json fields(const std::vector<wire::TransformStamped> &transforms) {
  json list = json::array();
  for (const wire::TransformStamped &t : transforms) {
    list.push_back(
        {{"header", header(t.header)},
         {"child_frame_id", t.child_frame_id},
         {"transform",
          {{"translation", vector3(t.translation)}, {"rotation", quaternion(t.rotation)}}}});
  }
  return {{"transforms", list}};
}

struct Capture {
  std::string ros_name;  // topic within the namespace, or absolute
  const char *dds_type;  // for the subscriber
  const char *ros_type;  // for decode.mjs
  wire::Qos qos;
  json expected;  // filled from the test's own decoding
  std::string file;
};

TEST(CamserveOracle, EveryMessageTypeDecodesAsTheTestDecodesIt) {
  kt::TempDir dir;
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  std::vector<Capture> captures = {
      {"rgb/image_raw", wire::kImageType, "sensor_msgs/msg/Image", wire::Qos::reliable, {}, ""},
      {"depth_registered/camera_info",
       wire::kCameraInfoType,
       "sensor_msgs/msg/CameraInfo",
       wire::Qos::reliable,
       {},
       ""},
      {"depth_registered/points",
       wire::kPointCloudType,
       "sensor_msgs/msg/PointCloud2",
       wire::Qos::reliable,
       {},
       ""},
      {"imu", wire::kImuType, "sensor_msgs/msg/Imu", wire::Qos::reliable, {}, ""},
      {"/tf_static", wire::kTfType, "tf2_msgs/msg/TFMessage", wire::Qos::latched, {}, ""}};
  wire::Subscriber sub;
  for (const Capture &c : captures) sub.subscribe(wire::topic(c.ros_name), c.dds_type, c.qos, 1);
  kt::RunOptions opts;
  opts.on_sim = false;
  opts.env = {{"ROS_ORACLE_MODULES", ORACLE_MODULES}};
  opts.args = {DECODE_SCRIPT};
  for (size_t i = 0; i < captures.size(); ++i) {
    Capture &c = captures[i];
    std::optional<wire::Taken> taken = sub.next(wire::topic(c.ros_name), 0, milliseconds(15000));
    ASSERT_TRUE(taken) << "nothing on " << c.ros_name;
    const wire::Bytes &p = taken->payload;
    if (c.ros_name == "rgb/image_raw") c.expected = fields(*wire::decode_image(p));
    if (c.ros_name == "depth_registered/camera_info")
      c.expected = fields(*wire::decode_camera_info(p));
    if (c.ros_name == "depth_registered/points") c.expected = fields(*wire::decode_point_cloud(p));
    if (c.ros_name == "imu") c.expected = fields(*wire::decode_imu(p));
    if (c.ros_name == "/tf_static") c.expected = fields(*wire::decode_tf_message(p));
    c.file = dir.file("payload" + std::to_string(i));
    std::ofstream(c.file, std::ios::binary)
        .write(reinterpret_cast<const char *>(p.data()), static_cast<std::streamsize>(p.size()));
    opts.args.push_back(c.ros_type);
    opts.args.push_back(c.file);
  }
  // Into a file: decode.mjs ends with process.exit, which cuts output to a
  // pipe short after 64 KiB (an image's hex is 1.8 MB).
  const std::string out = dir.file("decoded.json");
  kt::RunResult decoded =
      kt::run(kt::kShell, kt::redirected(NODE, ">" + out, opts), milliseconds(120000));
  ASSERT_EQ(decoded.exit_code, 0) << decoded.err;
  std::ifstream in(out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), captures.size());
  for (size_t i = 0; i < captures.size(); ++i) {
    json result = json::parse(lines[i]);
    EXPECT_EQ(result["file"], captures[i].file);
    ASSERT_TRUE(result.contains("message")) << captures[i].ros_name << ": " << result.dump();
    // Compared field by field, so that a mismatch names the field.
    for (auto &[name, value] : captures[i].expected.items()) {
      EXPECT_EQ(result["message"][name], value) << captures[i].ros_name << "." << name;
    }
    EXPECT_EQ(result["message"].size(), captures[i].expected.size()) << captures[i].ros_name;
  }
}

}  // namespace
