// End-to-end tests of camserve's topics on the simulated Kinect, seen by a
// hand-written ROS 2 subscriber (wire_subscriber, wire_messages): every
// topic's messages in both depth modes against the scene of sim/README.md,
// both kinds of subscriber QoS, the discovery entry, lazy streams in the
// simulator's trace, slow and changing subscribers, device loss, and the
// calibration files.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"
#include "raw_peer.hpp"
#include "scene.hpp"
#include "service_helpers.hpp"
#include "wire_subscriber.hpp"

namespace kt = kestrel::test;
namespace wire = kestrel::wire;
using std::chrono::milliseconds;

namespace {

constexpr auto kFirstSample = milliseconds(15000);  // discovery and the first frame, under load
constexpr double kGravity = 9.80665;                // m/s², the simulator's 1 g
constexpr int kAccelCountsPerG = 819;               // the simulator's accelerometer scale
constexpr int kGrid = 7;                            // pixels checked: every 7th in each direction

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The next sample on `topic`, the test failing when none comes.
wire::Bytes sample(wire::Subscriber &sub, const std::string &topic, uint64_t after = 0) {
  std::optional<wire::Taken> taken = sub.next(topic, after, kFirstSample);
  if (!taken) {
    ADD_FAILURE() << "nothing on " << topic;
    return {};
  }
  return taken->payload;
}

template <class Decode>
auto decoded(wire::Subscriber &sub, const std::string &topic, Decode decode) {
  auto msg = decode(sample(sub, topic));
  EXPECT_TRUE(msg) << topic << " does not decode";
  return msg;
}

int wrong_rgb_pixels(const wire::Image &image) {
  int wrong = 0;
  for (int v = 0; v < ksim::kHeight; ++v) {
    for (int u = 0; u < ksim::kWidth; ++u) {
      uint8_t want[3];
      ksim::rgb(u, v, want);
      const uint8_t *got = &image.data[3 * (v * ksim::kWidth + u)];
      wrong += got[0] != want[0] || got[1] != want[1] || got[2] != want[2];
    }
  }
  return wrong;
}

int wrong_depth_pixels(const wire::Image &image, uint16_t (*want)(int, int)) {
  int wrong = 0;
  for (int v = 0; v < ksim::kHeight; ++v) {
    for (int u = 0; u < ksim::kWidth; ++u) {
      wrong += (image.data[2 * (v * ksim::kWidth + u)] | image.data[2 * (v * ksim::kWidth + u) + 1]
                                                             << 8) != want(u, v);
    }
  }
  return wrong;
}

// The driver's model (camera_to_world on the simulator): a pinhole of
// 575.8 px about the image centre, plumb_bob without distortion.
void expect_device_camera_info(const wire::CameraInfo &info, const std::string &frame_id) {
  EXPECT_EQ(info.header.frame_id, frame_id);
  EXPECT_EQ(info.width, 640u);
  EXPECT_EQ(info.height, 480u);
  EXPECT_EQ(info.distortion_model, "plumb_bob");
  EXPECT_EQ(info.d, std::vector<double>(5, 0.0));
  const std::array<double, 9> k = {575.8, 0, 320, 0, 575.8, 240, 0, 0, 1};
  const std::array<double, 9> r = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const std::array<double, 12> p = {575.8, 0, 320, 0, 0, 575.8, 240, 0, 0, 0, 1, 0};
  for (size_t i = 0; i < 9; ++i) EXPECT_NEAR(info.k[i], k[i], 1e-3) << "K " << i;
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(info.r[i], r[i]) << "R " << i;
  for (size_t i = 0; i < 12; ++i) EXPECT_NEAR(info.p[i], p[i], 1e-3) << "P " << i;
}

// Infos a test keeps: small, and enough to hold the info of a kept image
// however far one topic's reader runs ahead of the other's.
constexpr size_t kKeptInfos = 100;

// An image and the camera info of the same frame carry one header: some
// kept info has the header of some kept image. The info of the last image
// may come after it; ten more infos bring it.
void expect_shared_header(wire::Subscriber &sub, const std::string &image_topic,
                          const std::string &info_topic) {
  sample(sub, image_topic, 3);
  sample(sub, info_topic, sub.count(info_topic) + 10);
  int shared = 0;
  for (const wire::Taken &i : sub.kept(image_topic)) {
    for (const wire::Taken &c : sub.kept(info_topic)) {
      shared +=
          wire::decode_image(i.payload)->header == wire::decode_camera_info(c.payload)->header;
    }
  }
  EXPECT_GT(shared, 0) << image_topic << " and " << info_topic << " share no header";
}

// Every kGrid-th point of an organised cloud against the depth it came from
// and the camera info that projects it; the colour against the rgb image.
void expect_cloud(const wire::PointCloud2 &cloud, const wire::CameraInfo &info,
                  uint16_t (*depth)(int, int), bool colour) {
  ASSERT_EQ(cloud.height, 480u);
  ASSERT_EQ(cloud.width, 640u);
  const uint32_t step = colour ? 32 : 16;
  ASSERT_EQ(cloud.point_step, step);
  ASSERT_EQ(cloud.row_step, 640 * step);
  ASSERT_EQ(cloud.data.size(), size_t{640} * 480 * step);
  EXPECT_FALSE(cloud.is_dense);
  EXPECT_FALSE(cloud.is_bigendian);
  std::vector<std::string> names;
  for (const wire::Field &f : cloud.fields) {
    names.push_back(f.name);
    EXPECT_EQ(f.datatype, 7) << f.name;  // FLOAT32
    EXPECT_EQ(f.count, 1u) << f.name;
    EXPECT_EQ(f.offset, f.name == "rgb" ? 16u : 4u * (f.name[0] - 'x')) << f.name;
  }
  const std::vector<std::string> want_names = colour
                                                  ? std::vector<std::string>{"x", "y", "z", "rgb"}
                                                  : std::vector<std::string>{"x", "y", "z"};
  EXPECT_EQ(names, want_names);
  const double fx = info.k[0], cx = info.k[2], fy = info.k[4], cy = info.k[5];
  int wrong = 0, readings = 0;
  for (int v = 0; v < 480; v += kGrid) {
    for (int u = 0; u < 640; u += kGrid) {
      size_t at = (size_t(v) * 640 + u) * step;
      float x = wire::f32_at(cloud.data, at), y = wire::f32_at(cloud.data, at + 4),
            z = wire::f32_at(cloud.data, at + 8);
      uint16_t mm = depth(u, v);
      if (mm == 0) {
        wrong += !(std::isnan(x) && std::isnan(y) && std::isnan(z));
      } else {
        ++readings;
        double want_z = mm / 1000.0;
        wrong += std::abs(z - want_z) > 1e-6 || std::abs(x - (u - cx) / fx * want_z) > 1e-5 ||
                 std::abs(y - (v - cy) / fy * want_z) > 1e-5;
      }
      if (colour) {
        uint8_t rgb[3];
        ksim::rgb(u, v, rgb);
        wrong +=
            wire::u32_at(cloud.data, at + 16) != (uint32_t(rgb[0]) << 16 | rgb[1] << 8 | rgb[2]);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(readings, 1000);
}

std::string write_text(const kt::TempDir &dir, const std::string &name, const std::string &text) {
  std::ofstream(dir.file(name)) << text;
  return dir.file(name);
}

// A calibrator file with the given camera matrix rows field (3 is right).
std::string calibration_text(int matrix_rows) {
  return "image_width: 640\nimage_height: 480\ncamera_name: kinect_rgb\n"
         "camera_matrix:\n  rows: " +
         std::to_string(matrix_rows) +
         "\n  cols: 3\n  data: [500, 0, 321.5, 0, 501, 239.5, 0, 0, 1]\n"
         "distortion_model: plumb_bob\n"
         "distortion_coefficients:\n  rows: 1\n  cols: 5\n  data: [0.1, -0.2, 0, 0, 0.05]\n"
         "rectification_matrix:\n  rows: 3\n  cols: 3\n  data: [1, 0, 0, 0, 1, 0, 0, 0, 1]\n"
         "projection_matrix:\n  rows: 3\n  cols: 4\n"
         "  data: [500, 0, 321.5, 0, 0, 501, 239.5, 0, 0, 0, 1, 0]\n";
}

// Waits until the simulator's trace holds `count` calls of `name`.
bool trace_reaches(const std::string &path, const std::string &name, size_t count) {
  for (int i = 0; i < 100; ++i) {
    if (kt::calls_named(kt::read_trace(path), name).size() >= count) return true;
    std::this_thread::sleep_for(milliseconds(100));
  }
  return false;
}

TEST(CamserveTopics, RegisteredModeTopicsAreTheScene) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  const std::string rgb = wire::topic("rgb/image_raw"), rgb_info = wire::topic("rgb/camera_info"),
                    depth = wire::topic("depth_registered/image_raw"),
                    depth_info = wire::topic("depth_registered/camera_info");
  sub.subscribe(rgb, wire::kImageType, wire::Qos::reliable, 5);
  sub.subscribe(rgb_info, wire::kCameraInfoType, wire::Qos::reliable, kKeptInfos);
  sub.subscribe(depth, wire::kImageType, wire::Qos::reliable, 5);
  sub.subscribe(depth_info, wire::kCameraInfoType, wire::Qos::reliable, kKeptInfos);
  double before = now_seconds();

  auto image = decoded(sub, rgb, wire::decode_image);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->header.frame_id, "camera_rgb_optical_frame");
  EXPECT_EQ(image->encoding, "rgb8");
  EXPECT_EQ(image->width, 640u);
  EXPECT_EQ(image->height, 480u);
  EXPECT_EQ(image->step, 1920u);
  ASSERT_EQ(image->data.size(), 921600u);
  EXPECT_EQ(wrong_rgb_pixels(*image), 0);
  EXPECT_NEAR(image->header.seconds(), before, 20);
  EXPECT_LE(image->header.seconds(), now_seconds());

  auto registered = decoded(sub, depth, wire::decode_image);
  ASSERT_TRUE(registered);
  EXPECT_EQ(registered->header.frame_id, "camera_rgb_optical_frame");
  EXPECT_EQ(registered->encoding, "16UC1");
  EXPECT_EQ(registered->step, 1280u);
  EXPECT_EQ(registered->is_bigendian, 0);
  ASSERT_EQ(registered->data.size(), 614400u);
  EXPECT_EQ(wrong_depth_pixels(*registered, ksim::depth_registered), 0);

  auto info = decoded(sub, rgb_info, wire::decode_camera_info);
  ASSERT_TRUE(info);
  expect_device_camera_info(*info, "camera_rgb_optical_frame");
  auto registered_info = decoded(sub, depth_info, wire::decode_camera_info);
  ASSERT_TRUE(registered_info);
  expect_device_camera_info(*registered_info, "camera_rgb_optical_frame");
  expect_shared_header(sub, rgb, rgb_info);
  expect_shared_header(sub, depth, depth_info);
}

TEST(CamserveTopics, MillimetreModeTopicsAreTheDepthCamerasView) {
  kt::TempDir dir;
  auto server = kt::start_camserve({"--depth", "mm", "--namespace", "/robot/kinect"},
                                   {{"KSIM_TRACE", dir.file("trace")}});
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  const std::string depth = "rt/robot/kinect/depth/image_raw",
                    info = "rt/robot/kinect/depth/camera_info";
  sub.subscribe(depth, wire::kImageType, wire::Qos::reliable, 5);
  sub.subscribe(info, wire::kCameraInfoType, wire::Qos::reliable, kKeptInfos);
  sub.subscribe("rt/robot/kinect/depth_registered/image_raw", wire::kImageType);
  auto image = decoded(sub, depth, wire::decode_image);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->header.frame_id, "robot_kinect_depth_optical_frame");
  EXPECT_EQ(image->encoding, "16UC1");
  EXPECT_EQ(wrong_depth_pixels(*image, ksim::depth_mm), 0);
  auto camera = decoded(sub, info, wire::decode_camera_info);
  ASSERT_TRUE(camera);
  expect_device_camera_info(*camera, "robot_kinect_depth_optical_frame");
  expect_shared_header(sub, depth, info);
  // The depth stream runs in millimetres only; no registered topic exists.
  std::vector<kt::TraceCall> modes =
      kt::calls_named(kt::read_trace(dir.file("trace")), "freenect_set_depth_mode");
  EXPECT_FALSE(modes.empty());
  for (const kt::TraceCall &call : modes) {
    EXPECT_EQ(call.args, (std::vector<std::string>{"1", "5"}));
  }
  EXPECT_TRUE(sub.writers("rt/robot/kinect/depth_registered/image_raw").empty());
}

TEST(CamserveTopics, CloudsArePointsOfTheirDepthThroughTheirCameraInfo) {
  for (bool registered : {true, false}) {
    SCOPED_TRACE(registered ? "registered" : "mm");
    auto server = kt::start_camserve({"--depth", registered ? "registered" : "mm"});
    ASSERT_TRUE(server);
    wire::Subscriber sub;
    const std::string ns = registered ? "depth_registered/" : "depth/";
    sub.subscribe(wire::topic(ns + "points"), wire::kPointCloudType);
    sub.subscribe(wire::topic(ns + "camera_info"), wire::kCameraInfoType);
    auto cloud = decoded(sub, wire::topic(ns + "points"), wire::decode_point_cloud);
    auto info = decoded(sub, wire::topic(ns + "camera_info"), wire::decode_camera_info);
    ASSERT_TRUE(cloud && info);
    EXPECT_EQ(cloud->header.frame_id,
              registered ? "camera_rgb_optical_frame" : "camera_depth_optical_frame");
    expect_cloud(*cloud, *info, registered ? ksim::depth_registered : ksim::depth_mm, registered);
  }
}

TEST(CamserveTopics, ImuIsTheAccelerometerInCameraLinkAxesAndFollowsTheTilt) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  const std::string imu_topic = wire::topic("imu");
  sub.subscribe(imu_topic, wire::kImuType, wire::Qos::best_effort);
  auto level = decoded(sub, imu_topic, wire::decode_imu);
  ASSERT_TRUE(level);
  EXPECT_EQ(level->header.frame_id, "camera_link");
  EXPECT_EQ(level->orientation_covariance[0], -1);
  EXPECT_EQ(level->angular_velocity_covariance[0], -1);
  EXPECT_NEAR(level->linear_acceleration.x, 0, 1e-9);
  EXPECT_NEAR(level->linear_acceleration.y, 0, 1e-9);
  EXPECT_NEAR(level->linear_acceleration.z, kGravity, 1e-9);

  kt::RunResult call = kt::run_camcall({"--angle", "20"});
  ASSERT_EQ(call.exit_code, 0) << call.err;
  const double a = 20 * M_PI / 180;
  const double forward = std::round(kAccelCountsPerG * std::sin(a)) / kAccelCountsPerG * kGravity;
  const double up = std::round(kAccelCountsPerG * std::cos(a)) / kAccelCountsPerG * kGravity;
  uint64_t seen = sub.count(imu_topic);
  std::optional<wire::Imu> tilted = wire::decode_imu(sample(sub, imu_topic, seen));
  ASSERT_TRUE(tilted);
  EXPECT_NEAR(tilted->linear_acceleration.x, forward, 1e-9);
  EXPECT_NEAR(tilted->linear_acceleration.y, 0, 1e-9);
  EXPECT_NEAR(tilted->linear_acceleration.z, up, 1e-9);
}

TEST(CamserveTopics, StaticTransformsReachALateJoiner) {
  auto server = kt::start_camserve({"--frame-prefix", "kinect"});
  ASSERT_TRUE(server);
  std::this_thread::sleep_for(milliseconds(500));  // written before this subscriber exists
  wire::Subscriber sub;
  sub.subscribe("rt/tf_static", wire::kTfType, wire::Qos::latched);
  const wire::Bytes stored = sample(sub, "rt/tf_static");
  auto tf = wire::decode_tf_message(stored);
  ASSERT_TRUE(tf);
  ASSERT_EQ(tf->size(), 2u);
  // Written again, unchanged, while a reader is matched: a busy reader that
  // missed the stored sample still gets the transforms.
  EXPECT_EQ(sample(sub, "rt/tf_static", sub.count("rt/tf_static")), stored);
  for (const wire::TransformStamped &t : *tf) {
    EXPECT_EQ(t.header.frame_id, "kinect_link");
    // x right, y down, z forward from x forward, y left, z up.
    EXPECT_EQ(t.rotation.x, -0.5);
    EXPECT_EQ(t.rotation.y, 0.5);
    EXPECT_EQ(t.rotation.z, -0.5);
    EXPECT_EQ(t.rotation.w, 0.5);
    EXPECT_EQ(t.translation.x, 0);
    EXPECT_EQ(t.translation.z, 0);
  }
  EXPECT_EQ((*tf)[0].child_frame_id, "kinect_rgb_optical_frame");
  EXPECT_EQ((*tf)[1].child_frame_id, "kinect_depth_optical_frame");
  EXPECT_LT((*tf)[0].translation.y, 0);  // the rgb camera sits to the right
}

TEST(CamserveTopics, BestEffortSubscriberGetsTheStream) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  sub.subscribe(wire::topic("rgb/image_raw"), wire::kImageType, wire::Qos::best_effort);
  sub.subscribe(wire::topic("depth_registered/points"), wire::kPointCloudType,
                wire::Qos::best_effort);
  auto image = decoded(sub, wire::topic("rgb/image_raw"), wire::decode_image);
  ASSERT_TRUE(image);
  EXPECT_EQ(wrong_rgb_pixels(*image), 0);
  // A 9.8 MB cloud travels as 150 fragments; best effort may lose some
  // clouds, not all of them.
  EXPECT_TRUE(decoded(sub, wire::topic("depth_registered/points"), wire::decode_point_cloud));
}

TEST(CamserveTopics, DiscoveryEntryListsEveryWriter) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  const std::vector<std::pair<std::string, const char *>> topics = {
      {"rgb/image_raw", wire::kImageType},
      {"rgb/camera_info", wire::kCameraInfoType},
      {"depth_registered/image_raw", wire::kImageType},
      {"depth_registered/camera_info", wire::kCameraInfoType},
      {"depth_registered/points", wire::kPointCloudType},
      {"imu", wire::kImuType},
      {"/tf_static", wire::kTfType}};
  // Every writer is made at start: the entry is read before any subscriber
  // sets the streams (the cloud above all) to work.
  std::optional<kt::Announcement> seen = kt::read_announcement(
      "ros_discovery_info", "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_", kFirstSample);
  ASSERT_TRUE(seen);
  for (const auto &[name, type] : topics) sub.subscribe(wire::topic(name), type);
  auto entities = wire::decode_entities(seen->payload);
  ASSERT_TRUE(entities);
  ASSERT_EQ(entities->nodes.size(), 1u);
  const wire::NodeEntities &node = entities->nodes[0];
  EXPECT_EQ(node.name, "camserve");
  EXPECT_EQ(node.readers.size(), 1u);      // the service's requests
  EXPECT_EQ(node.writers.size(), 1u + 7);  // its replies and the seven topics
  for (const auto &[name, type] : topics) {
    ASSERT_TRUE(sub.wait_matched(wire::topic(name), kFirstSample)) << name;
    for (const auto &guid : sub.writers(wire::topic(name))) {
      wire::Bytes gid(24, 0);
      std::copy(guid.guidPrefix.value, guid.guidPrefix.value + 12, gid.begin());
      std::copy(guid.entityId.value, guid.entityId.value + 4, gid.begin() + 12);
      EXPECT_NE(std::find(node.writers.begin(), node.writers.end(), gid), node.writers.end())
          << "the writer of " << name << " is not announced";
    }
  }
}

TEST(CamserveTopics, DepthStreamRunsOnlyWhileADepthTopicHasAReader) {
  kt::TempDir dir;
  const std::string trace = dir.file("trace");
  auto server = kt::start_camserve({}, {{"KSIM_TRACE", trace}});
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  const std::string rgb = wire::topic("rgb/image_raw");
  sub.subscribe(rgb, wire::kImageType);
  sample(sub, rgb, 10);
  std::vector<kt::TraceCall> calls = kt::read_trace(trace);
  EXPECT_TRUE(kt::calls_named(calls, "freenect_start_depth").empty());
  EXPECT_TRUE(kt::calls_named(calls, "@depth").empty());

  // Readers come and go: each time the registered stream starts and stops.
  const std::string points = wire::topic("depth_registered/points");
  for (size_t round = 1; round <= 3; ++round) {
    sub.subscribe(points, wire::kPointCloudType);
    EXPECT_TRUE(wire::decode_point_cloud(sample(sub, points))) << "round " << round;
    sub.unsubscribe(points);
    EXPECT_TRUE(trace_reaches(trace, "freenect_stop_depth", round)) << "round " << round;
  }
  calls = kt::read_trace(trace);
  EXPECT_EQ(kt::calls_named(calls, "freenect_start_depth").size(), 3u);
  for (const kt::TraceCall &call : kt::calls_named(calls, "freenect_set_depth_mode")) {
    EXPECT_EQ(call.args, (std::vector<std::string>{"1", "4"}));  // registered
  }
  uint64_t before = sub.count(rgb);
  EXPECT_TRUE(sub.next(rgb, before, kFirstSample)) << "rgb stopped with the depth stream";
  EXPECT_TRUE(server->running());
}

// Frames a healthy subscriber takes in 3 s on rgb and imu.
struct Taken3s {
  uint64_t rgb = 0, imu = 0;
};

// What a healthy subscriber takes in 3 s from a camserve of its own while
// another subscriber, there first, reads rgb and the cloud with `qos`.
Taken3s taken_beside(wire::Qos qos) {
  auto server = kt::start_camserve();
  if (!server) {
    ADD_FAILURE() << "camserve did not start";
    return {};
  }
  const std::string rgb = wire::topic("rgb/image_raw"), imu = wire::topic("imu");
  const std::string points = wire::topic("depth_registered/points");
  wire::Subscriber other;
  other.subscribe(rgb, wire::kImageType, qos);
  other.subscribe(points, wire::kPointCloudType, qos);
  EXPECT_TRUE(other.wait_matched(rgb, kFirstSample) && other.wait_matched(points, kFirstSample));
  wire::Subscriber sub;
  sub.subscribe(rgb, wire::kImageType);
  sub.subscribe(imu, wire::kImuType);
  sample(sub, rgb, 5);
  sample(sub, imu, 5);
  Taken3s before{sub.count(rgb), sub.count(imu)};
  std::this_thread::sleep_for(milliseconds(3000));
  return {sub.count(rgb) - before.rgb, sub.count(imu) - before.imu};
}

TEST(CamserveTopics, StalledSubscriberSlowsNoOtherTopic) {
  // The rates beside a stalled subscriber are held against the rates beside
  // one that takes every sample, on the same machine: a fixed rate would
  // measure the machine. A writer held up by the stalled reader's full
  // history would bring them to a handful.
  Taken3s taking = taken_beside(wire::Qos::reliable);
  Taken3s stalled = taken_beside(wire::Qos::stalled);
  EXPECT_GE(2 * stalled.rgb, taking.rgb);
  EXPECT_GE(2 * stalled.imu, taking.imu);
}

TEST(CamserveTopics, DeviceLossEndsTheNodeWithStatusOne) {
  // The subscriptions start the streams; the simulated Kinect delivers 90
  // frames (3 s), then its event loop fails. On a busy machine the frames
  // may all pass before this subscriber has matched the writers, so it waits
  // for the end, not for a frame.
  auto server = kt::start_camserve({}, {{"KSIM_END_AFTER", "90"}});
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  sub.subscribe(wire::topic("rgb/image_raw"), wire::kImageType);
  sub.subscribe(wire::topic("depth_registered/points"), wire::kPointCloudType);
  kt::RunResult end = server->wait(milliseconds(30000));
  EXPECT_EQ(end.exit_code, 1) << end.err;
  EXPECT_NE(end.err.find("lost"), std::string::npos) << end.err;
}

TEST(CamserveTopics, CalibrationFilesGiveTheCameraInfo) {
  kt::TempDir dir;
  auto server =
      kt::start_camserve({"--calibration-rgb", write_text(dir, "rgb.yaml", calibration_text(3))});
  ASSERT_TRUE(server);
  wire::Subscriber sub;
  sub.subscribe(wire::topic("rgb/camera_info"), wire::kCameraInfoType);
  sub.subscribe(wire::topic("depth_registered/camera_info"), wire::kCameraInfoType);
  for (const char *name : {"rgb/camera_info", "depth_registered/camera_info"}) {
    auto info = decoded(sub, wire::topic(name), wire::decode_camera_info);
    ASSERT_TRUE(info) << name;
    EXPECT_EQ(info->k[0], 500) << name;
    EXPECT_EQ(info->k[2], 321.5) << name;
    EXPECT_EQ(info->k[4], 501) << name;
    EXPECT_EQ(info->d, (std::vector<double>{0.1, -0.2, 0, 0, 0.05})) << name;
  }
}

TEST(CamserveTopics, BadCalibrationFileIsAStartUpErrorNamingFileAndField) {
  kt::TempDir dir;
  struct Case {
    std::string option, file, field;
  };
  const Case cases[] = {
      {"--calibration-rgb", dir.file("missing.yaml"), ""},
      {"--calibration-depth", write_text(dir, "rows.yaml", calibration_text(2)), "camera_matrix"},
      {"--calibration-rgb", write_text(dir, "broken.yaml", "image_width: [640\n"), ""},
  };
  for (const Case &c : cases) {
    kt::RunResult result = kt::run(CAMSERVE, kt::options({c.option, c.file}));
    EXPECT_EQ(result.exit_code, 1) << c.file;
    EXPECT_EQ(result.out, "") << c.file;
    EXPECT_NE(result.err.find(c.file), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.field), std::string::npos) << result.err;
  }
}

TEST(CamserveTopics, ServiceDepthIsTheNodesRegisteredDepth) {
  kt::TempDir dir;
  auto server = kt::start_camserve({"--image", "depth"});
  ASSERT_TRUE(server);
  kt::RunResult call = kt::run_camcall({"--out", dir.file("depth.pgm")});
  ASSERT_EQ(call.exit_code, 0) << call.err;
  EXPECT_NE(call.out.find("16UC1"), std::string::npos);
  EXPECT_NE(call.out.find("kinect_rgb_optical_frame"), std::string::npos);
  std::ifstream in(dir.file("depth.pgm"), std::ios::binary);
  std::string magic, maxval;
  int width = 0, height = 0;
  in >> magic >> width >> height >> maxval;
  in.get();
  std::vector<uint8_t> pixels(640 * 480 * 2);
  in.read(reinterpret_cast<char *>(pixels.data()), pixels.size());
  ASSERT_TRUE(in);
  int wrong = 0;
  for (int v = 0; v < 480; ++v) {
    for (int u = 0; u < 640; ++u) {
      const uint8_t *p = &pixels[2 * (v * 640 + u)];
      wrong += (p[0] << 8 | p[1]) != ksim::depth_registered(u, v);  // PGM: big endian
    }
  }
  EXPECT_EQ(wrong, 0);
}

kt::RunResult run_camtap(const std::vector<std::string> &args) {
  return kt::run(CAMTAP, kt::options(args), milliseconds(60000));
}

TEST(CamserveTopics, CamtapReportsEveryTopicAndSavesFilesCamserveReadsBack) {
  kt::TempDir dir;
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  kt::RunResult tap =
      run_camtap({"--seconds", kt::kUnderThreadSanitizer ? "30" : "8", "--save", dir.path});
  ASSERT_EQ(tap.exit_code, 0) << tap.err;
  for (const char *topic :
       {"rgb/image_raw:", "rgb/camera_info:", "depth_registered/image_raw:",
        "depth_registered/camera_info:", "depth_registered/points:", "imu:", "/tf_static:"}) {
    EXPECT_NE(tap.out.find(topic), std::string::npos) << topic << " missing:\n" << tap.out;
  }
  kt::Image rgb = kt::load_png(dir.file("rgb_image_raw.png"));
  ASSERT_EQ(rgb.width, 640);
  int wrong = 0;
  for (int v = 0; v < 480; v += kGrid) {
    for (int u = 0; u < 640; u += kGrid) {
      uint8_t want[3];
      ksim::rgb(u, v, want);
      wrong += !(rgb.at(u, v) == kt::Image::Pixel{want[0], want[1], want[2]});
    }
  }
  EXPECT_EQ(wrong, 0);
  std::ifstream ply(dir.file("depth_registered_points.ply"), std::ios::binary);
  std::string magic, format;
  std::getline(ply, magic);
  std::getline(ply, format);
  EXPECT_EQ(magic, "ply");
  EXPECT_EQ(format.rfind("format binary_little_endian", 0), 0u) << format;
  // A saved camera info is a calibration file camserve starts with.
  server.reset();
  auto again =
      kt::start_camserve({"--calibration-rgb", dir.file("rgb_camera_info.yaml"),
                          "--calibration-depth", dir.file("depth_registered_camera_info.yaml")});
  EXPECT_TRUE(again);
}

TEST(CamserveTopics, CamtapExitsOneWhenATopicSendsNothing) {
  auto server = kt::start_camserve({"--depth", "mm"});
  ASSERT_TRUE(server);
  // In millimetre mode no registered depth is published.
  kt::RunResult tap = run_camtap({"--seconds", "2", "rgb/image_raw", "depth_registered/image_raw"});
  EXPECT_EQ(tap.exit_code, 1) << tap.out << tap.err;
  EXPECT_NE(tap.out.find("rgb/image_raw:"), std::string::npos) << tap.out;
}

}  // namespace
