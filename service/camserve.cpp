// camserve: serves the Kinect's Camera service over Fast-DDS with ROS 2's
// wire conventions. Each request tilts the Kinect to the requested angle,
// waits for the motor to stop and answers with the first picture taken after
// that (RGB, or depth in millimetres with --image depth).
//
//   camserve [--service NAME] [--image rgb|depth] [--frame-id ID] [--device INDEX]
//
// This file parses the options and wires the parts: the device and its
// frames (kinect_device), the service (camera_service), the DDS participant
// (dds_setup). Threads: the main thread serves requests; the device thread
// makes every driver call; Fast-DDS's own threads queue arriving requests
// and track which clients' reply readers are matched.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "camera_service.hpp"
#include "dds_setup.hpp"
#include "kinect_device.hpp"
#include "ros_names.hpp"

using namespace std::chrono_literals;
namespace svc = kestrel::service;

constexpr char kNodeName[] = "camserve";
constexpr auto kStopPoll = 100ms;  // how soon the main thread notices a stop signal

// Set by SIGINT and SIGTERM; read by the main thread between requests.
static std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "g_stop must be signal-safe");

struct Options {
  std::string service = "camera";
  bool depth = false;    // --image depth: millimetres instead of RGB
  std::string frame_id;  // empty: the default of the chosen camera
  int device = 0;
};

static void on_signal(int) {
  g_stop = true;
}

static void usage() {
  std::fprintf(stderr,
               "usage: camserve [--service NAME] [--image rgb|depth] [--frame-id ID] "
               "[--device INDEX]\n");
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
      char *end = nullptr;
      long index = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end || index < 0 || index > 255) {
        return false;
      }
      opts.device = static_cast<int>(index);
    } else {
      return false;
    }
  }
  if (opts.frame_id.empty()) {
    opts.frame_id = opts.depth ? "kinect_depth_optical_frame" : "kinect_rgb_optical_frame";
  }
  return true;
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
  if (!names) {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
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
  if (!svc::open_device(device, opts.device, opts.depth)) {
    return 1;
  }
  svc::Node node;
  if (!svc::open_node(node, *domain, kNodeName, *names, error)) {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
    svc::close_device(device);
    return 1;
  }
  svc::CameraService service;
  bool ready = svc::open_camera_service(service, node, device, opts.frame_id, error) &&
               svc::announce_node(node, kNodeName, {service.reader->guid()},
                                  {service.writer->guid()}, error);
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
  svc::close_camera_service(service);
  svc::close_node(node);
  return ready ? 0 : 1;
}
