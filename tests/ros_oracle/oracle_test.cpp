// Our encoders against a decoder nobody here wrote: one message of each type
// is encoded, decoded by decode.mjs (@foxglove/rosmsg2-serialization over the
// Humble .msg texts), and every field it read is compared with what was sent.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "harness.hpp"
#include "ros_cdr.hpp"
#include "sample_messages.hpp"

namespace kt = kestrel::test;
namespace msgs = kestrel::msgs;
using nlohmann::json;

namespace {

std::string hex(const std::vector<uint8_t> &bytes) {
  std::string text;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    text += pair;
  }
  return text;
}

// Each message as decode.mjs prints it: the fields by name, uint8[] as hex.
json fields(const msgs::Time &m) {
  return {{"sec", m.sec}, {"nanosec", m.nanosec}};
}
json fields(const msgs::Header &m) {
  return {{"stamp", fields(m.stamp)}, {"frame_id", m.frame_id}};
}
json fields(const msgs::Image &m) {
  return {{"header", fields(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"encoding", m.encoding},
          {"is_bigendian", m.is_bigendian},
          {"step", m.step},
          {"data", hex(m.data.bytes)}};
}
json fields(const msgs::RegionOfInterest &m) {
  return {{"x_offset", m.x_offset},
          {"y_offset", m.y_offset},
          {"height", m.height},
          {"width", m.width},
          {"do_rectify", m.do_rectify}};
}
json fields(const msgs::CameraInfo &m) {
  return {{"header", fields(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"distortion_model", m.distortion_model},
          {"d", m.d},
          {"k", m.k},
          {"r", m.r},
          {"p", m.p},
          {"binning_x", m.binning_x},
          {"binning_y", m.binning_y},
          {"roi", fields(m.roi)}};
}
json fields(const msgs::PointField &m) {
  return {{"name", m.name}, {"offset", m.offset}, {"datatype", m.datatype}, {"count", m.count}};
}
json fields(const msgs::TransformStamped &m);
template <class Msg>
json list(const std::vector<Msg> &elements) {
  json out = json::array();
  for (const Msg &element : elements) out.push_back(fields(element));
  return out;
}
json fields(const msgs::PointCloud2 &m) {
  return {{"header", fields(m.header)},
          {"height", m.height},
          {"width", m.width},
          {"fields", list(m.fields)},
          {"is_bigendian", m.is_bigendian},
          {"point_step", m.point_step},
          {"row_step", m.row_step},
          {"data", hex(m.data.bytes)},
          {"is_dense", m.is_dense}};
}
json fields(const msgs::Vector3 &m) {
  return {{"x", m.x}, {"y", m.y}, {"z", m.z}};
}
json fields(const msgs::Quaternion &m) {
  return {{"x", m.x}, {"y", m.y}, {"z", m.z}, {"w", m.w}};
}
json fields(const msgs::Imu &m) {
  return {{"header", fields(m.header)},
          {"orientation", fields(m.orientation)},
          {"orientation_covariance", m.orientation_covariance},
          {"angular_velocity", fields(m.angular_velocity)},
          {"angular_velocity_covariance", m.angular_velocity_covariance},
          {"linear_acceleration", fields(m.linear_acceleration)},
          {"linear_acceleration_covariance", m.linear_acceleration_covariance}};
}
json fields(const msgs::Transform &m) {
  return {{"translation", fields(m.translation)}, {"rotation", fields(m.rotation)}};
}
json fields(const msgs::TransformStamped &m) {
  return {{"header", fields(m.header)},
          {"child_frame_id", m.child_frame_id},
          {"transform", fields(m.transform)}};
}
json fields(const msgs::TFMessage &m) {
  return {{"transforms", list(m.transforms)}};
}

TEST(Oracle, decodes_every_field_of_each_message_as_we_encoded_it) {
  kt::TempDir dir;
  std::vector<std::string> args = {DECODE_SCRIPT};
  auto samples = kt::all_samples();
  std::apply(
      [&](const auto &...msg) {
        auto write = [&](const auto &m) {
          using Msg = std::decay_t<decltype(m)>;
          const std::string file = dir.file(std::to_string(args.size()) + ".cdr");
          const std::vector<uint8_t> payload = msgs::encode_cdr(m);
          std::ofstream(file, std::ios::binary)
              .write(reinterpret_cast<const char *>(payload.data()),
                     static_cast<std::streamsize>(payload.size()));
          args.push_back(msgs::ros_type_name<Msg>());
          args.push_back(file);
        };
        (write(msg), ...);
      },
      samples);

  kt::RunOptions opts;
  opts.args = args;
  opts.on_sim = false;
  opts.env = {{"ROS_ORACLE_MODULES", ORACLE_MODULES}};
  kt::RunResult decoded = kt::run(NODE, opts, std::chrono::milliseconds(60000));
  ASSERT_EQ(decoded.exit_code, 0) << decoded.out << decoded.err;

  std::map<std::string, json> by_type;
  for (const std::string &line : kt::split_lines(decoded.out)) {
    json result = json::parse(line);
    by_type[result.at("type")] = result.at("message");
  }
  ASSERT_EQ(by_type.size(), std::tuple_size_v<decltype(samples)>) << decoded.out;
  std::apply(
      [&](const auto &...msg) {
        auto check = [&](const auto &m) {
          using Msg = std::decay_t<decltype(m)>;
          // Numbers compare by value (the decoder prints 0.0 as 0), to the last bit.
          EXPECT_EQ(by_type.at(msgs::ros_type_name<Msg>()), fields(m))
              << msgs::ros_type_name<Msg>();
        };
        (check(msg), ...);
      },
      samples);
}

TEST(Oracle, refuses_a_truncated_payload_too) {
  kt::TempDir dir;
  std::vector<uint8_t> payload = msgs::encode_cdr(kt::sample_camera_info());
  payload.resize(payload.size() / 2);
  std::ofstream(dir.file("half.cdr"), std::ios::binary)
      .write(reinterpret_cast<const char *>(payload.data()),
             static_cast<std::streamsize>(payload.size()));
  kt::RunOptions opts;
  opts.args = {DECODE_SCRIPT, "sensor_msgs/msg/CameraInfo", dir.file("half.cdr")};
  opts.on_sim = false;
  opts.env = {{"ROS_ORACLE_MODULES", ORACLE_MODULES}};
  kt::RunResult decoded = kt::run(NODE, opts, std::chrono::milliseconds(60000));
  EXPECT_EQ(decoded.exit_code, 1);
  json result = json::parse(decoded.out);
  EXPECT_TRUE(result.contains("error")) << decoded.out;
}

}  // namespace
