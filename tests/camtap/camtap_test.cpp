// camtap end to end: the real binary against a stand-in node that writes
// hand-encoded messages on the node's topics; its report, the files it
// saves, its exit status when a topic sends nothing, and its usage errors.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "tap_publisher.hpp"

namespace kt = kestrel::test;
using kt::Bytes;
using kt::Publication;
using kt::WireWriter;
using namespace std::chrono_literals;

namespace {

constexpr char kImageType[] = "sensor_msgs::msg::dds_::Image_";
constexpr char kInfoType[] = "sensor_msgs::msg::dds_::CameraInfo_";
constexpr char kCloudType[] = "sensor_msgs::msg::dds_::PointCloud2_";
constexpr char kImuType[] = "sensor_msgs::msg::dds_::Imu_";
constexpr char kTfType[] = "tf2_msgs::msg::dds_::TFMessage_";
constexpr int kWidth = 4, kHeight = 3;  // the stand-in's small images
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
// camtap's listening window: long enough for discovery on a busy machine.
const std::string kWindow = kt::kUnderThreadSanitizer ? "20" : "6";

kt::RunResult run_camtap(const std::vector<std::string> &args) {
  kt::RunOptions opts;
  opts.args = args;
  opts.on_sim = false;
  return kt::run(CAMTAP, opts, 30s);
}

uint8_t rgb_value(int i) {
  return static_cast<uint8_t>(i * 7 + 3);
}
uint16_t depth_value(int i) {
  return static_cast<uint16_t>(300 * i + 5);
}

Bytes rgb_image() {
  WireWriter w;
  w.header(1733700000, 500, "camera_rgb_optical_frame");
  w.u32(kHeight);
  w.u32(kWidth);
  w.string("rgb8");
  w.u8(0);
  w.u32(kWidth * 3);
  Bytes data;
  for (int i = 0; i < kWidth * kHeight * 3; ++i) data.push_back(rgb_value(i));
  w.bytes(data);
  return w.out;
}

Bytes depth_image() {
  WireWriter w;
  w.header(1733700000, 600, "camera_rgb_optical_frame");
  w.u32(kHeight);
  w.u32(kWidth);
  w.string("16UC1");
  w.u8(0);
  w.u32(kWidth * 2);
  Bytes data;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    data.push_back(static_cast<uint8_t>(depth_value(i)));
    data.push_back(static_cast<uint8_t>(depth_value(i) >> 8));
  }
  w.bytes(data);
  return w.out;
}

const std::vector<double> kD = {0.125, -0.25, 0, 0, 0.001};
const std::vector<double> kK = {525.5, 0, 319.5, 0, 526.25, 239.5, 0, 0, 1};
const std::vector<double> kR = {1, 0, 0, 0, 1, 0, 0, 0, 1};
const std::vector<double> kP = {525.5, 0, 319.5, 0, 0, 526.25, 239.5, 0, 0, 0, 1, 0};

Bytes camera_info() {
  WireWriter w;
  w.header(1733700000, 500, "camera_rgb_optical_frame");
  w.u32(480);
  w.u32(640);
  w.string("plumb_bob");
  w.u32(static_cast<uint32_t>(kD.size()));
  for (double v : kD) w.f64(v);
  for (const auto *m : {&kK, &kR, &kP}) {
    for (double v : *m) w.f64(v);
  }
  w.u32(0);  // binning
  w.u32(0);
  for (int i = 0; i < 4; ++i) w.u32(0);  // roi
  w.u8(0);
  return w.out;
}

struct Point {
  float x, y, z;
  uint32_t rgb;  // 0x00RRGGBB
};
const Point kPoints[] = {{0.5f, -0.25f, 1.5f, 0x112233},
                         {kNan, kNan, kNan, 0x445566},
                         {1, 2, 3, 0xff8000},
                         {-1, -2, 4, 0x0000ff}};

Bytes cloud() {
  WireWriter w;
  w.header(1733700000, 700, "camera_rgb_optical_frame");
  w.u32(2);  // height
  w.u32(2);  // width
  w.u32(4);
  const char *names[] = {"x", "y", "z", "rgb"};
  const uint32_t offsets[] = {0, 4, 8, 16};
  for (int i = 0; i < 4; ++i) {
    w.string(names[i]);
    w.u32(offsets[i]);
    w.u8(7);  // FLOAT32
    w.u32(1);
  }
  w.u8(0);    // is_bigendian
  w.u32(32);  // point_step
  w.u32(64);  // row_step
  Bytes data(4 * 32, 0);
  for (int i = 0; i < 4; ++i) {
    std::memcpy(&data[i * 32], &kPoints[i], sizeof(float) * 3);
    std::memcpy(&data[i * 32 + 16], &kPoints[i].rgb, 4);
  }
  w.bytes(data);
  w.u8(0);  // is_dense
  return w.out;
}

Bytes imu() {
  WireWriter w;
  w.header(1733700001, 0, "camera_link");
  for (double v : {0.0, 0.0, 0.0, 1.0}) w.f64(v);
  for (int block = 0; block < 2; ++block) {
    for (int i = 0; i < 9; ++i) w.f64(i == 0 ? -1 : 0);  // orientation, then angular velocity
    if (block == 0) {
      for (int i = 0; i < 3; ++i) w.f64(0);
    }
  }
  for (double v : {0.0, 9.81, 0.5}) w.f64(v);
  for (int i = 0; i < 9; ++i) w.f64(0);
  return w.out;
}

Bytes tf_static() {
  WireWriter w;
  w.u32(2);
  for (const char *child : {"camera_rgb_optical_frame", "camera_depth_optical_frame"}) {
    w.header(5, 0, "camera_link");
    w.string(child);
    const bool depth = child[7] == 'd';
    for (double v : {0.0, depth ? -0.025 : 0.0, 0.0, -0.5, 0.5, -0.5, 0.5}) w.f64(v);
  }
  return w.out;
}

Publication on(const std::string &topic, const char *type, Bytes payload) {
  return {"rt/camera/" + topic, type, std::move(payload)};
}

bool contains_line(const std::string &out, const std::string &line) {
  for (const std::string &l : kt::split_lines(out)) {
    if (l == line) return true;
  }
  return false;
}

// The "TOPIC: N messages, R Hz, B MB/s, T bytes" line of a topic.
struct Rate {
  long messages = 0;
  double hz = 0, megabytes_per_second = 0;
  long bytes = 0;
};
bool rate_of(const std::string &out, const std::string &topic, Rate &rate) {
  const std::string prefix = topic + ": ";
  for (const std::string &line : kt::split_lines(out)) {
    int end = 0;
    if (line.rfind(prefix, 0) == 0 &&
        std::sscanf(line.c_str() + prefix.size(), "%ld messages, %lf Hz, %lf MB/s, %ld bytes%n",
                    &rate.messages, &rate.hz, &rate.megabytes_per_second, &rate.bytes, &end) == 4 &&
        prefix.size() + end == line.size()) {
      return true;
    }
  }
  return false;
}

std::vector<double> doubles(const YAML::Node &node) {
  return node.as<std::vector<double>>();
}

TEST(Camtap, reports_each_topic_and_saves_the_first_image_info_and_cloud) {
  const Bytes rgb = rgb_image();
  kt::TapPublisher node({on("rgb/image_raw", kImageType, rgb),
                         on("depth_registered/image_raw", kImageType, depth_image()),
                         on("rgb/camera_info", kInfoType, camera_info()),
                         on("depth_registered/points", kCloudType, cloud()),
                         on("imu", kImuType, imu()),
                         {"rt/tf_static", kTfType, tf_static(), 500ms, true}});
  kt::TempDir dir;
  const std::string save = dir.file("saved");
  kt::RunResult tap = run_camtap({"--seconds", kWindow, "--save", save, "rgb/image_raw",
                                  "depth_registered/image_raw", "rgb/camera_info",
                                  "depth_registered/points", "imu", "/tf_static"});
  ASSERT_EQ(tap.exit_code, 0) << tap.out << tap.err;
  EXPECT_EQ(tap.err, "");

  // Rates near the stand-in's 30 Hz (wide: the machine is shared), and the
  // bandwidth they make with the payload's size.
  Rate rate;
  ASSERT_TRUE(rate_of(tap.out, "rgb/image_raw", rate)) << tap.out;
  EXPECT_GT(rate.hz, 10);
  EXPECT_LT(rate.hz, 60);
  EXPECT_EQ(rate.bytes, rate.messages * static_cast<long>(rgb.size()));
  EXPECT_NEAR(rate.megabytes_per_second, rate.hz * rgb.size() / 1e6, 0.002);
  for (const char *topic :
       {"depth_registered/image_raw", "rgb/camera_info", "depth_registered/points", "imu"}) {
    EXPECT_TRUE(rate_of(tap.out, topic, rate)) << topic << "\n" << tap.out;
  }

  // The first message of each, field by field.
  for (const char *line : {
           "  sensor_msgs/msg/Image",
           "  stamp 1733700000.000000500 frame_id camera_rgb_optical_frame",
           "  height 3 width 4 encoding rgb8 is_bigendian 0 step 12 data 36 bytes",
           "  height 3 width 4 encoding 16UC1 is_bigendian 0 step 8 data 24 bytes",
           "  height 480 width 640 distortion_model plumb_bob d [0.125, -0.25, 0, 0, 0.001]",
           "  k [525.5, 0, 319.5, 0, 526.25, 239.5, 0, 0, 1]",
           "  r [1, 0, 0, 0, 1, 0, 0, 0, 1]",
           "  p [525.5, 0, 319.5, 0, 0, 526.25, 239.5, 0, 0, 0, 1, 0]",
           "  binning_x 0 binning_y 0 roi 0 0 0 0 no_rectify",
           "  height 2 width 2 is_bigendian 0 point_step 32 row_step 64 is_dense 0 data 128 bytes",
           "  fields x FLOAT32 0 1, y FLOAT32 4 1, z FLOAT32 8 1, rgb FLOAT32 16 1",
           "  orientation 0 0 0 1 covariance [-1, 0, 0, 0, 0, 0, 0, 0, 0]",
           "  linear_acceleration 0 9.81 0.5 covariance [0, 0, 0, 0, 0, 0, 0, 0, 0]",
           "  camera_link -> camera_depth_optical_frame stamp 5.000000000 frame_id camera_link "
           "translation 0 -0.025 0 rotation -0.5 0.5 -0.5 0.5",
       }) {
    EXPECT_TRUE(contains_line(tap.out, line)) << line << "\n" << tap.out;
  }

  // The rgb picture as 8-bit RGB, the depth as 16-bit grey.
  kt::Image picture = kt::load_png(save + "/rgb_image_raw.png");
  ASSERT_EQ(picture.width, kWidth);
  ASSERT_EQ(picture.height, kHeight);
  EXPECT_EQ(picture.rgb, Bytes(rgb.end() - kWidth * kHeight * 3, rgb.end()));
  const Bytes depth_png = kt::read_file(save + "/depth_registered_image_raw.png");
  ASSERT_GT(depth_png.size(), 26u);
  EXPECT_EQ(depth_png[24], 16);                                              // IHDR bit depth
  EXPECT_EQ(depth_png[25], 0);                                               // colour type: grey
  kt::Image depth = kt::load_png(save + "/depth_registered_image_raw.png");  // the high bytes
  for (int i = 0; i < kWidth * kHeight; ++i) {
    EXPECT_EQ(depth.rgb[i * 3], depth_value(i) >> 8) << i;
  }

  // The camera info in the calibrator's format.
  YAML::Node info = YAML::LoadFile(save + "/rgb_camera_info.yaml");
  EXPECT_EQ(info["image_width"].as<int>(), 640);
  EXPECT_EQ(info["image_height"].as<int>(), 480);
  EXPECT_EQ(info["camera_name"].as<std::string>(), "rgb");
  EXPECT_EQ(info["distortion_model"].as<std::string>(), "plumb_bob");
  EXPECT_EQ(info["camera_matrix"]["rows"].as<int>(), 3);
  EXPECT_EQ(info["camera_matrix"]["cols"].as<int>(), 3);
  EXPECT_EQ(doubles(info["camera_matrix"]["data"]), kK);
  EXPECT_EQ(info["distortion_coefficients"]["cols"].as<int>(), 5);
  EXPECT_EQ(doubles(info["distortion_coefficients"]["data"]), kD);
  EXPECT_EQ(doubles(info["rectification_matrix"]["data"]), kR);
  EXPECT_EQ(info["projection_matrix"]["cols"].as<int>(), 4);
  EXPECT_EQ(doubles(info["projection_matrix"]["data"]), kP);

  // The cloud: the three points with a reading, with their colours.
  const Bytes ply_bytes = kt::read_file(save + "/depth_registered_points.ply");
  const std::string ply(ply_bytes.begin(), ply_bytes.end());
  const std::string header =
      "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
      "property float y\nproperty float z\nproperty uchar red\nproperty uchar green\n"
      "property uchar blue\nend_header\n";
  ASSERT_EQ(ply.substr(0, header.size()), header);
  ASSERT_EQ(ply.size(), header.size() + 3 * 15);
  size_t at = header.size();
  for (const Point &p : {kPoints[0], kPoints[2], kPoints[3]}) {
    float xyz[3];
    std::memcpy(xyz, ply.data() + at, sizeof xyz);
    EXPECT_EQ(xyz[0], p.x);
    EXPECT_EQ(xyz[1], p.y);
    EXPECT_EQ(xyz[2], p.z);
    EXPECT_EQ(static_cast<uint8_t>(ply[at + 12]), (p.rgb >> 16) & 0xff);
    EXPECT_EQ(static_cast<uint8_t>(ply[at + 13]), (p.rgb >> 8) & 0xff);
    EXPECT_EQ(static_cast<uint8_t>(ply[at + 14]), p.rgb & 0xff);
    at += 15;
  }
  EXPECT_FALSE(kt::file_exists(save + "/imu.png"));
}

TEST(Camtap, without_topics_reports_those_offered_in_its_namespace) {
  kt::TapPublisher node({{"rt/robot/kinect/imu", kImuType, imu()},
                         {"rt/robot/kinect/rgb/camera_info", kInfoType, camera_info()},
                         {"rt/camera/rgb/image_raw", kImageType, rgb_image()}});
  kt::RunResult tap = run_camtap({"--namespace", "/robot/kinect", "--seconds", kWindow});
  ASSERT_EQ(tap.exit_code, 0) << tap.out << tap.err;
  Rate rate;
  EXPECT_TRUE(rate_of(tap.out, "imu", rate)) << tap.out;
  EXPECT_TRUE(rate_of(tap.out, "rgb/camera_info", rate)) << tap.out;
  EXPECT_EQ(tap.out.find("image_raw"), std::string::npos) << tap.out;  // another namespace
  EXPECT_EQ(tap.out.find("points"), std::string::npos) << tap.out;
}

TEST(Camtap, a_topic_that_sends_nothing_decodable_in_time_exits_1) {
  Bytes truncated = imu();
  truncated.resize(40);
  kt::TapPublisher node(
      {on("rgb/camera_info", kInfoType, camera_info()), on("imu", kImuType, truncated)});
  kt::RunResult tap = run_camtap({"--seconds", kWindow, "rgb/camera_info", "imu", "depth/points"});
  EXPECT_EQ(tap.exit_code, 1) << tap.out << tap.err;
  Rate rate;
  EXPECT_TRUE(rate_of(tap.out, "rgb/camera_info", rate)) << tap.out;
  long malformed = 0;
  const size_t imu_line = tap.out.find("\nimu: nothing in " + kWindow + " s, ");
  ASSERT_NE(imu_line, std::string::npos) << tap.out;
  EXPECT_EQ(std::sscanf(tap.out.c_str() + imu_line + 1, "imu: nothing in %*s s, %ld malformed",
                        &malformed),
            1)
      << tap.out;
  EXPECT_GT(malformed, 0);
  EXPECT_TRUE(contains_line(tap.out, "depth/points: nothing in " + kWindow + " s")) << tap.out;
  EXPECT_NE(tap.err.find("camtap: imu: dropped a malformed message: payload of 40 bytes ends in "
                         "field 'orientation."),
            std::string::npos)
      << tap.err;
  EXPECT_NE(tap.err.find("camtap: depth/points sent nothing in " + kWindow + " s\n"),
            std::string::npos)
      << tap.err;

  // Nobody at all.
  kt::RunResult alone = run_camtap({"--seconds", "0.5", "--namespace", "nobody"});
  EXPECT_EQ(alone.exit_code, 1);
  EXPECT_EQ(alone.err, "camtap: no topic of namespace nobody sent anything in 0.5 s\n");
}

TEST(Camtap, bad_usage_exits_2_with_the_reason_and_the_usage) {
  const struct {
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {{"--seconds"}, "--seconds needs a value"},
      {{"--seconds", "soon"}, "--seconds takes a number of seconds above 0, not 'soon'"},
      {{"--seconds", "-1"}, "--seconds takes a number of seconds above 0, not '-1'"},
      {{"--rate", "5"}, "unknown option '--rate'"},
      {{"rgb/image"}, "'rgb/image' is none of the node's topics: rgb/image_raw"},
      {{"--namespace", "9lives"}, "--namespace: '/9lives/rgb/image_raw' is not a valid topic name"},
  };
  for (const auto &c : cases) {
    kt::RunResult tap = run_camtap(c.args);
    EXPECT_EQ(tap.exit_code, 2) << c.reason;
    EXPECT_EQ(tap.err.rfind("camtap: " + c.reason, 0), 0u) << tap.err;
    EXPECT_NE(tap.err.find("usage: camtap [--namespace NS] [--seconds S] [--save DIR] [TOPIC...]"),
              std::string::npos)
        << tap.err;
  }
}

}  // namespace
