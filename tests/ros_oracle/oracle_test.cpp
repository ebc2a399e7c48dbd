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

template <class Container>
void expect_doubles(const json &j, const Container &values, const char *what) {
  ASSERT_TRUE(j.is_array()) << what;
  ASSERT_EQ(j.size(), values.size()) << what;
  size_t i = 0;
  for (double v : values) EXPECT_EQ(j[i++].get<double>(), v) << what << "[" << i - 1 << "]";
}

void expect_same(const json &j, const msgs::Time &m) {
  EXPECT_EQ(j.at("sec").get<int32_t>(), m.sec);
  EXPECT_EQ(j.at("nanosec").get<uint32_t>(), m.nanosec);
}

void expect_same(const json &j, const msgs::Header &m) {
  expect_same(j.at("stamp"), m.stamp);
  EXPECT_EQ(j.at("frame_id"), m.frame_id);
}

void expect_same(const json &j, const msgs::Image &m) {
  expect_same(j.at("header"), m.header);
  EXPECT_EQ(j.at("height"), m.height);
  EXPECT_EQ(j.at("width"), m.width);
  EXPECT_EQ(j.at("encoding"), m.encoding);
  EXPECT_EQ(j.at("is_bigendian"), m.is_bigendian);
  EXPECT_EQ(j.at("step"), m.step);
  EXPECT_EQ(j.at("data"), hex(m.data.bytes));
}

void expect_same(const json &j, const msgs::RegionOfInterest &m) {
  EXPECT_EQ(j.at("x_offset"), m.x_offset);
  EXPECT_EQ(j.at("y_offset"), m.y_offset);
  EXPECT_EQ(j.at("height"), m.height);
  EXPECT_EQ(j.at("width"), m.width);
  EXPECT_EQ(j.at("do_rectify"), m.do_rectify);
}

void expect_same(const json &j, const msgs::CameraInfo &m) {
  expect_same(j.at("header"), m.header);
  EXPECT_EQ(j.at("height"), m.height);
  EXPECT_EQ(j.at("width"), m.width);
  EXPECT_EQ(j.at("distortion_model"), m.distortion_model);
  expect_doubles(j.at("d"), m.d, "d");
  expect_doubles(j.at("k"), m.k, "k");
  expect_doubles(j.at("r"), m.r, "r");
  expect_doubles(j.at("p"), m.p, "p");
  EXPECT_EQ(j.at("binning_x"), m.binning_x);
  EXPECT_EQ(j.at("binning_y"), m.binning_y);
  expect_same(j.at("roi"), m.roi);
}

void expect_same(const json &j, const msgs::PointField &m) {
  EXPECT_EQ(j.at("name"), m.name);
  EXPECT_EQ(j.at("offset"), m.offset);
  EXPECT_EQ(j.at("datatype"), m.datatype);
  EXPECT_EQ(j.at("count"), m.count);
}

void expect_same(const json &j, const msgs::PointCloud2 &m) {
  expect_same(j.at("header"), m.header);
  EXPECT_EQ(j.at("height"), m.height);
  EXPECT_EQ(j.at("width"), m.width);
  ASSERT_EQ(j.at("fields").size(), m.fields.size());
  for (size_t i = 0; i < m.fields.size(); ++i) expect_same(j.at("fields")[i], m.fields[i]);
  EXPECT_EQ(j.at("is_bigendian"), m.is_bigendian);
  EXPECT_EQ(j.at("point_step"), m.point_step);
  EXPECT_EQ(j.at("row_step"), m.row_step);
  EXPECT_EQ(j.at("data"), hex(m.data.bytes));
  EXPECT_EQ(j.at("is_dense"), m.is_dense);
}

void expect_same(const json &j, const msgs::Vector3 &m) {
  EXPECT_EQ(j.at("x").get<double>(), m.x);
  EXPECT_EQ(j.at("y").get<double>(), m.y);
  EXPECT_EQ(j.at("z").get<double>(), m.z);
}

void expect_same(const json &j, const msgs::Quaternion &m) {
  EXPECT_EQ(j.at("x").get<double>(), m.x);
  EXPECT_EQ(j.at("y").get<double>(), m.y);
  EXPECT_EQ(j.at("z").get<double>(), m.z);
  EXPECT_EQ(j.at("w").get<double>(), m.w);
}

void expect_same(const json &j, const msgs::Imu &m) {
  expect_same(j.at("header"), m.header);
  expect_same(j.at("orientation"), m.orientation);
  expect_doubles(j.at("orientation_covariance"), m.orientation_covariance, "orientation cov");
  expect_same(j.at("angular_velocity"), m.angular_velocity);
  expect_doubles(j.at("angular_velocity_covariance"), m.angular_velocity_covariance,
                 "angular velocity cov");
  expect_same(j.at("linear_acceleration"), m.linear_acceleration);
  expect_doubles(j.at("linear_acceleration_covariance"), m.linear_acceleration_covariance,
                 "linear acceleration cov");
}

void expect_same(const json &j, const msgs::Transform &m) {
  expect_same(j.at("translation"), m.translation);
  expect_same(j.at("rotation"), m.rotation);
}

void expect_same(const json &j, const msgs::TransformStamped &m) {
  expect_same(j.at("header"), m.header);
  EXPECT_EQ(j.at("child_frame_id"), m.child_frame_id);
  expect_same(j.at("transform"), m.transform);
}

void expect_same(const json &j, const msgs::TFMessage &m) {
  ASSERT_EQ(j.at("transforms").size(), m.transforms.size());
  for (size_t i = 0; i < m.transforms.size(); ++i) {
    expect_same(j.at("transforms")[i], m.transforms[i]);
  }
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
          SCOPED_TRACE(msgs::ros_type_name<Msg>());
          expect_same(by_type.at(msgs::ros_type_name<Msg>()), m);
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
