// camserve: the Kinect as a ROS 2 node over Fast-DDS with ROS 2's wire
// conventions. It serves the Camera service (each request tilts the Kinect to
// the requested angle, waits for the motor to stop and answers with the
// first picture taken after that: RGB, or depth with --image depth) and
// publishes the rgb and depth images, their camera infos, the point cloud,
// the imu and the static transforms.
//
//   camserve [--service NAME] [--image rgb|depth] [--frame-id ID] [--device INDEX]
//            [--namespace NS] [--depth registered|mm] [--qos-depth N]
//            [--frame-prefix P] [--calibration-rgb FILE] [--calibration-depth FILE]
//
// This file parses the options and wires the parts: the device and its
// frames (kinect_device, frame_feed), the service (camera_service), the
// topics (stream_publishers), the camera infos (camera_info), the DDS
// participant (dds_setup). Threads: the main thread serves requests; the
// device thread makes every driver call; one publishing thread per stream;
// Fast-DDS's own threads queue arriving requests and count matched readers.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "camera_info.hpp"
#include "camera_service.hpp"
#include "dds_setup.hpp"
#include "kinect_device.hpp"
#include "ros_names.hpp"
#include "stream_publishers.hpp"
#include "topic_names.hpp"

using namespace std::chrono_literals;
namespace svc = kestrel::service;

constexpr char kNodeName[] = "camserve";
constexpr long kMaxHistoryDepth = 1000;  // largest --qos-depth: samples kept per writer
constexpr auto kStopPoll = 100ms;        // how soon the main thread notices a stop signal

// Set by SIGINT and SIGTERM; read by the main thread between requests.
static std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "g_stop must be signal-safe");

struct Options {
  std::string service = "camera";
  bool depth = false;    // --image depth: the node's depth instead of RGB
  std::string frame_id;  // empty: the default of the chosen camera
  int device = 0;
  std::string ns = "camera";  // the topics' namespace
  bool registered = true;     // --depth registered (aligned to rgb) or mm (the depth camera's view)
  long history_depth = 5;     // --qos-depth
  std::string frame_prefix;   // empty: from the namespace
  std::string calibration_rgb, calibration_depth;  // calibrator YAML files; empty: the device's
};

static void on_signal(int) {
  g_stop = true;
}

static void usage() {
  std::fprintf(stderr,
               "usage: camserve [--service NAME] [--image rgb|depth] [--frame-id ID] "
               "[--device INDEX]\n"
               "                [--namespace NS] [--depth registered|mm] [--qos-depth N]\n"
               "                [--frame-prefix P] [--calibration-rgb FILE] "
               "[--calibration-depth FILE]\n");
}

// A decimal number from `min` to `max`, or nothing.
static std::optional<long> parse_number(const std::string &value, long min, long max) {
  char *end = nullptr;
  long number = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end || number < min || number > max) {
    return std::nullopt;
  }
  return number;
}

// The frame ids' prefix a namespace gives: its tokens joined by '_'
// ("camera", "/robot/kinect" → "robot_kinect"); "camera" for the root.
static std::string prefix_of(const std::string &ns) {
  std::string prefix;
  for (char c : ns) {
    if (c == '/') {
      if (!prefix.empty() && prefix.back() != '_') prefix += '_';
    } else {
      prefix += c;
    }
  }
  while (!prefix.empty() && prefix.back() == '_') prefix.pop_back();
  return prefix.empty() ? "camera" : prefix;
}

static bool parse_options(int argc, char **argv, Options &opts) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) {
      return false;
    }
    std::string value = argv[++i];
    if (arg == "--service") {
      opts.service = value;
    } else if (arg == "--image" && (value == "rgb" || value == "depth")) {
      opts.depth = value == "depth";
    } else if (arg == "--frame-id") {
      opts.frame_id = value;
    } else if (arg == "--device") {
      std::optional<long> index = parse_number(value, 0, 255);
      if (!index) return false;
      opts.device = static_cast<int>(*index);
    } else if (arg == "--namespace") {
      opts.ns = value;
    } else if (arg == "--depth" && (value == "registered" || value == "mm")) {
      opts.registered = value == "registered";
    } else if (arg == "--qos-depth") {
      std::optional<long> depth = parse_number(value, 1, kMaxHistoryDepth);
      if (!depth) return false;
      opts.history_depth = *depth;
    } else if (arg == "--frame-prefix" && !value.empty()) {
      opts.frame_prefix = value;
    } else if (arg == "--calibration-rgb") {
      opts.calibration_rgb = value;
    } else if (arg == "--calibration-depth") {
      opts.calibration_depth = value;
    } else {
      return false;
    }
  }
  // Registered depth lies on the rgb camera's pixel grid.
  if (opts.frame_id.empty()) {
    opts.frame_id =
        opts.depth && !opts.registered ? "kinect_depth_optical_frame" : "kinect_rgb_optical_frame";
  }
  if (opts.frame_prefix.empty()) {
    opts.frame_prefix = prefix_of(opts.ns);
  }
  return true;
}

// Reads the calibration files given into `topics`; false after saying why.
static bool read_calibrations(const Options &opts, svc::TopicSettings &topics) {
  const std::pair<const std::string *, kestrel::msgs::CameraInfo *> files[] = {
      {&opts.calibration_rgb, &topics.rgb_info}, {&opts.calibration_depth, &topics.depth_info}};
  for (const auto &[file, info] : files) {
    kestrel::msgs::Calibration calibration;
    std::string error;
    if (file->empty()) continue;
    if (!kestrel::msgs::read_calibration_file(*file, svc::kWidth, svc::kHeight, calibration,
                                              error)) {
      std::fprintf(stderr, "camserve: %s\n", error.c_str());
      return false;
    }
    *info = calibration.info;
  }
  return true;
}

// The camera infos no file gave, from the device's own registration data
// (one pinhole model for both cameras, as the driver's camera_to_world).
static void device_calibrations(const Options &opts, const svc::Device &device,
                                svc::TopicSettings &topics) {
  kestrel::msgs::CameraInfo info;
  std::string error;
  if (!kestrel::msgs::camera_info_from_zero_plane(device.zero_plane_distance,
                                                  device.zero_plane_pixel_size, info, error)) {
    std::fprintf(stderr,
                 "camserve: the device's registration data: %s; its camera infos are "
                 "uncalibrated\n",
                 error.c_str());
  }
  if (opts.calibration_rgb.empty()) topics.rgb_info = info;
  if (opts.calibration_depth.empty()) topics.depth_info = info;
}

int main(int argc, char **argv) {
  Options opts;
  if (!parse_options(argc, argv, opts)) {
    usage();
    return 2;
  }
  std::string error;
  std::optional<uint32_t> domain = svc::parse_domain_id(std::getenv("ROS_DOMAIN_ID"), error);
  std::optional<svc::ServiceNames> names =
      domain ? svc::service_names(opts.service, error) : std::nullopt;
  // A namespace that makes no valid topic name is refused here, before the device opens.
  std::optional<std::string> rgb_topic =
      names ? kestrel::msgs::dds_topic_name(opts.ns, "rgb/image_raw", error) : std::nullopt;
  if (!names || !rgb_topic) {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
    return 1;
  }
  svc::TopicSettings topics;
  topics.ns = opts.ns;
  topics.registered = opts.registered;
  topics.history_depth = static_cast<int>(opts.history_depth);
  topics.frames = svc::frame_ids(opts.frame_prefix);
  if (!read_calibrations(opts, topics)) {
    return 1;
  }

  // Every thread made from here on inherits the blocked stop signals; the
  // main thread unblocks them once set up, so that only it is interrupted.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  struct sigaction action = {};
  action.sa_handler = on_signal;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  svc::Device device;
  if (!svc::open_device(device, opts.device, opts.registered, opts.depth)) {
    return 1;
  }
  device_calibrations(opts, device, topics);
  svc::Node node;
  if (!svc::open_node(node, *domain, kNodeName, *names, error,
                      svc::Transports::shared_memory_and_udp, svc::kNodeShmSegmentBytes)) {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
    svc::close_device(device);
    return 1;
  }
  svc::CameraService service;
  svc::Publishers publishers;
  svc::Feeds feeds{&device.video, &device.depth_frames, &device.accel, &device.demand};
  bool ready = svc::open_camera_service(service, node, device, opts.frame_id, error) &&
               svc::open_publishers(publishers, node, topics, feeds, error);
  if (ready) {
    std::vector<eprosima::fastrtps::rtps::GUID_t> writers = svc::writer_guids(publishers);
    writers.insert(writers.begin(), service.writer->guid());
    ready = svc::announce_node(node, kNodeName, {service.reader->guid()}, writers, error);
  }
  if (ready) {
    std::printf("Serving %s on domain %u\n", names->service.c_str(), *domain);
    std::fflush(stdout);
    pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);
    // One request at a time, in arrival order; a stop signal lets the
    // request in hand finish.
    std::string lost;
    while (!g_stop && (lost = svc::lost_reason(device)).empty()) {
      svc::serve_next(service, device, kStopPoll);
    }
    // A lost Kinect does not come back in this process: what waits is
    // answered, and status 1 lets a supervisor start camserve again.
    if (!lost.empty()) {
      std::fprintf(stderr, "camserve: answering what waits with empty images and exiting\n");
      while (svc::serve_next(service, device, kStopPoll)) {
      }
      ready = false;
    }
  } else {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
  }

  svc::close_device(device);
  svc::close_publishers(publishers);
  svc::close_camera_service(service);
  svc::close_node(node);
  return ready ? 0 : 1;
}
