// camserve: serves the Kinect's Camera service over Fast-DDS with ROS 2's
// wire conventions. Each request tilts the Kinect to the requested angle,
// waits for the motor to stop and answers with the first picture taken after
// that (RGB, or depth in millimetres with --image depth).
//
//   camserve [--service NAME] [--image rgb|depth] [--frame-id ID] [--device INDEX]
//
// Threads: the main thread serves requests one at a time; the device thread
// makes every driver call (events, tilt, motor state) and hands frames over;
// Fast-DDS's own threads queue arriving requests and track which clients'
// reply readers are matched.
#include <libfreenect.h>

#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/rtps/common/WriteParams.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "dds_setup.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "ros_names.hpp"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "topic_type.hpp"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::SampleIdentity;
namespace fdds = eprosima::fastdds::dds;
namespace svc = kestrel::service;

// ------------------------------------------------------------------ constants

constexpr char kNodeName[] = "camserve";
constexpr int kWidth = 640, kHeight = 480;       // pixels of both streams at medium resolution
constexpr uint32_t kRgbStep = kWidth * 3;        // bytes per rgb8 row
constexpr uint32_t kDepthStep = kWidth * 2;      // bytes per 16UC1 row (millimetres)
constexpr double kMinTilt = -31, kMaxTilt = 31;  // degrees the motor can reach
constexpr auto kMotorWait = 3s;                  // longest wait for the motor to report it stopped
constexpr auto kMotorPoll = 20ms;                // interval between tilt-state reads while it moves
constexpr auto kMotorStartGrace = 500ms;         // time a stopped motor is given to start moving
constexpr double kTiltTolerance = 2;  // degrees within which the motor is where it was sent
// A request is answered within 5 s of its arrival: the frame must come by
// kFrameDeadline, leaving time to wait for the client's reader and to write.
constexpr auto kFrameDeadline = 4300ms;
constexpr auto kReaderWait = 300ms;  // longest wait for a client's reply reader to be matched
const eprosima::fastrtps::Duration_t kAckWait{2, 0};  // longest wait for the last reply's delivery
constexpr auto kStopPoll = 100ms;        // how soon the main thread notices a stop signal
constexpr long kEventTimeoutUs = 20000;  // longest single wait for driver events (20 ms)
constexpr size_t kMaxQueued = 1000;      // requests waiting beyond this are dropped

// ---------------------------------------------------------------------- state

// Set by SIGINT and SIGTERM; read by the main thread between requests.
static std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "g_stop must be signal-safe");

struct Options {
  std::string service = "camera";
  bool depth = false;    // --image depth: millimetres instead of RGB
  std::string frame_id;  // empty: the default of the chosen camera
  int device = 0;
};

// The open Kinect. The device thread makes every driver call: it pumps the
// events, tilts the motor and watches it stop, and hands the first frame
// after that to the main thread, which posts a job and waits. (Driver calls
// from two threads would contend for the driver's own lock, which a thread
// pumping events back to back hardly ever lets go.)
struct Device {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  size_t frame_bytes = 0;         // bytes of one frame of the chosen stream
  std::atomic<bool> stop{false};  // written by main, read by the device thread
  std::thread thread;
  std::atomic<uint64_t> frames{0};      // frames delivered so far; counted by the device thread
  std::atomic<bool> job_posted{false};  // main posted a job the device thread has not begun
  // The callback copies a frame only while this is set (under mutex): a lock
  // taken for every frame would keep the waiting thread from it when frames
  // come back to back.
  std::atomic<bool> waiting{false};

  // Fields below are guarded by mutex.
  std::mutex mutex;
  std::condition_variable frame_came;
  uint64_t job = 0;                             // number of the current job; main counts, 0 = none
  double angle = 0;                             // the job's tilt, degrees
  Clock::time_point deadline;                   // the job's frame must come by then
  uint64_t wanted = 0;                          // number of the frame the job waits for
  uint8_t *target = nullptr;                    // where that frame goes
  bool captured = false;                        // the wanted frame has been copied to target
  std::chrono::system_clock::time_point stamp;  // when the captured frame arrived
  std::string lost;                             // why frames stopped; empty while streaming
};

// The device thread's watch over the motor for one job.
struct Motor {
  uint64_t job = 0;  // the job it moves for; 0 when idle
  double angle = 0;
  Clock::time_point commanded, until, next_read;
  bool seen_moving = false;
};

// A request taken from the reader, waiting to be served.
struct Request {
  int16_t angle = 0;
  SampleIdentity reply_to;    // identity the reply names as its related sample
  bool reader_known = false;  // reply_to's GUID is the client's reply reader
  Clock::time_point arrived;
};

// ------------------------------------------------------------------- helpers

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

// ----------------------------------------------------------------- the device

// Called on the device thread for every frame of the running stream.
static void on_frame(freenect_device *dev, void *data, uint32_t /*timestamp*/) {
  Device *device = static_cast<Device *>(freenect_get_user(dev));
  uint64_t number = device->frames++;
  if (!device->waiting) {
    return;
  }
  std::lock_guard<std::mutex> lock(device->mutex);
  if (device->target && !device->captured && number >= device->wanted) {
    std::memcpy(device->target, data, device->frame_bytes);
    device->stamp = std::chrono::system_clock::now();
    device->captured = true;
    device->waiting = false;
    device->frame_came.notify_all();
  }
}

// The motor is done for the job: the frame to take is the next one to begin,
// that is the one after the frame in progress now.
static void motor_done(Device &device, Motor &motor) {
  std::lock_guard<std::mutex> lock(device.mutex);
  if (device.job == motor.job && device.target) {
    device.wanted = device.frames + 1;
    device.waiting = true;
  }
  motor.job = 0;
}

// Sends the motor to the posted job's angle.
static void start_tilt(Device &device, Motor &motor) {
  {
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.target) return;  // the job ended before the device thread began it
    motor.job = device.job;
    motor.angle = device.angle;
    motor.until = std::min(Clock::now() + kMotorWait, device.deadline);
  }
  motor.commanded = motor.next_read = Clock::now();
  motor.seen_moving = false;
  if (freenect_set_tilt_degs(device.dev, motor.angle) < 0) {
    std::fprintf(stderr, "camserve: cannot tilt to %g degrees\n", motor.angle);
    motor_done(device, motor);
  }
}

// Reads the motor's state. Right after a command the motor may still report
// the stop before it (the command takes a moment to reach it), so a stopped
// status counts once the motor was seen moving, reads the requested angle,
// or has had kMotorStartGrace to start. At most kMotorWait.
static void read_motor(Device &device, Motor &motor) {
  Clock::time_point now = Clock::now();
  motor.next_read = now + kMotorPoll;
  if (freenect_update_tilt_state(device.dev) < 0) {
    std::fprintf(stderr, "camserve: cannot read the motor's state\n");
    motor_done(device, motor);
    return;
  }
  freenect_raw_tilt_state *state = freenect_get_tilt_state(device.dev);
  freenect_tilt_status_code status = freenect_get_tilt_status(state);
  motor.seen_moving = motor.seen_moving || status == TILT_STATUS_MOVING;
  bool arrived = std::abs(freenect_get_tilt_degs(state) - motor.angle) <= kTiltTolerance;
  if (status != TILT_STATUS_MOVING &&
      (motor.seen_moving || arrived || now - motor.commanded >= kMotorStartGrace)) {
    motor_done(device, motor);
  } else if (now >= motor.until) {
    std::fprintf(stderr, "camserve: the motor still moves; taking the picture anyway\n");
    motor_done(device, motor);
  }
}

static void pump_events(Device *device) {
  Motor motor;
  while (!device->stop) {
    timeval timeout{0, kEventTimeoutUs};
    int status = freenect_process_events_timeout(device->ctx, &timeout);
    if (status < 0) {
      std::lock_guard<std::mutex> lock(device->mutex);
      device->lost =
          "the device stopped delivering (driver event error " + std::to_string(status) + ")";
      std::fprintf(stderr, "camserve: %s\n", device->lost.c_str());
      device->frame_came.notify_all();
      return;
    }
    if (device->job_posted.exchange(false)) {
      start_tilt(*device, motor);
    }
    if (motor.job != 0 && Clock::now() >= motor.next_read) {
      read_motor(*device, motor);
    }
  }
}

// Opens Kinect `index`, starts the chosen stream and the device thread.
static bool open_device(Device &device, const Options &opts) {
  if (freenect_init(&device.ctx, nullptr) < 0) {
    std::fprintf(stderr, "camserve: cannot initialise the Kinect driver\n");
    return false;
  }
  freenect_select_subdevices(device.ctx, static_cast<freenect_device_flags>(
                                             FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA));
  int count = freenect_num_devices(device.ctx);
  if (count <= opts.device) {
    std::fprintf(stderr, "camserve: no Kinect at index %d (%d found)\n", opts.device,
                 std::max(count, 0));
    freenect_shutdown(device.ctx);
    return false;
  }
  if (freenect_open_device(device.ctx, &device.dev, opts.device) < 0) {
    std::fprintf(stderr, "camserve: cannot open Kinect %d\n", opts.device);
    freenect_shutdown(device.ctx);
    return false;
  }
  freenect_set_user(device.dev, &device);
  int status;
  if (opts.depth) {
    freenect_frame_mode mode =
        freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_MM);
    device.frame_bytes = static_cast<size_t>(mode.bytes);
    freenect_set_depth_callback(device.dev, on_frame);
    status = freenect_set_depth_mode(device.dev, mode);
    if (status >= 0) status = freenect_start_depth(device.dev);
  } else {
    freenect_frame_mode mode =
        freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
    device.frame_bytes = static_cast<size_t>(mode.bytes);
    freenect_set_video_callback(device.dev, on_frame);
    status = freenect_set_video_mode(device.dev, mode);
    if (status >= 0) status = freenect_start_video(device.dev);
  }
  if (status < 0) {
    std::fprintf(stderr, "camserve: cannot start the %s stream of Kinect %d\n",
                 opts.depth ? "depth" : "video", opts.device);
    freenect_close_device(device.dev);
    freenect_shutdown(device.ctx);
    return false;
  }
  device.thread = std::thread(pump_events, &device);
  return true;
}

// Ends the device thread, stops the stream and closes the device.
static void close_device(Device &device, bool depth) {
  device.stop = true;
  device.thread.join();
  if (depth) {
    freenect_stop_depth(device.dev);
  } else {
    freenect_stop_video(device.dev);
  }
  freenect_close_device(device.dev);
  freenect_shutdown(device.ctx);
}

// Has the device thread tilt to `angle` and copy into `target` the first
// frame that began after the motor stopped. False, with the reason, when no
// frame comes by `deadline`.
static bool take_frame(Device &device, double angle, uint8_t *target, Clock::time_point deadline,
                       std::chrono::system_clock::time_point &stamp, std::string &reason) {
  std::unique_lock<std::mutex> lock(device.mutex);
  if (!device.lost.empty()) {
    reason = device.lost;
    return false;
  }
  // A request whose time ran out in the queue moves no motor.
  if (Clock::now() >= deadline) {
    reason = "its time ran out while it waited in the queue";
    return false;
  }
  ++device.job;
  device.angle = angle;
  device.deadline = deadline;
  device.target = target;
  device.captured = false;
  device.job_posted = true;
  device.frame_came.wait_until(lock, deadline,
                               [&] { return device.captured || !device.lost.empty(); });
  // The job ends here whatever happened; a motor still watched for it is
  // then ignored.
  ++device.job;
  device.job_posted = false;
  device.waiting = false;
  device.target = nullptr;
  if (!device.captured) {
    reason = device.lost.empty() ? "no frame came in time" : device.lost;
    return false;
  }
  stamp = device.stamp;
  return true;
}

// ---------------------------------------------------------------- requests

// Takes arriving requests off the reader into a queue, on Fast-DDS's
// threads, so that none is lost while the main thread serves another.
struct RequestQueue : fdds::DataReaderListener {
  explicit RequestQueue(svc::HandleTopicType *type) : type_(type), sample_(type->new_sample()) {}
  // Frees the sample; call once the reader is deleted, while the type lives.
  void release() {
    std::lock_guard<std::mutex> take_lock(take_mutex_);
    type_->deleteData(sample_);
    sample_ = nullptr;
  }

  void on_data_available(fdds::DataReader *reader) override {
    std::lock_guard<std::mutex> take_lock(take_mutex_);
    if (!sample_) {
      return;
    }
    fdds::SampleInfo info;
    while (reader->take_next_sample(sample_, &info) == ReturnCode_t::RETCODE_OK) {
      if (!info.valid_data) {
        continue;
      }
      if (!sample_->error.empty()) {
        std::fprintf(stderr, "camserve: dropped a request from %s: %s\n",
                     svc::guid_text(info.sample_identity.writer_guid()).c_str(),
                     sample_->error.c_str());
        continue;
      }
      Request request;
      request.angle = static_cast<kestrel_ifaces__srv__Camera_Request *>(sample_->message)->angle;
      request.reply_to = info.sample_identity;
      // The client names its reply reader as the related writer GUID; a
      // client that does not is answered under its request writer's GUID.
      if (info.related_sample_identity.writer_guid() != GUID_t::unknown()) {
        request.reply_to.writer_guid(info.related_sample_identity.writer_guid());
        request.reader_known = true;
      }
      request.arrived = Clock::now();
      push(request);
    }
  }

  // The next request, or nothing after `timeout`.
  std::optional<Request> pop(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [&] { return !queue_.empty(); })) {
      return std::nullopt;
    }
    Request request = queue_.front();
    queue_.pop_front();
    return request;
  }

 private:
  void push(const Request &request) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.size() >= kMaxQueued) {
        std::fprintf(stderr, "camserve: %zu requests already wait; dropped one\n", kMaxQueued);
        return;
      }
      queue_.push_back(request);
    }
    arrived_.notify_one();
  }

  svc::HandleTopicType *type_;
  std::mutex take_mutex_;  // one take at a time: sample_ is shared
  svc::Sample *sample_;    // guarded by take_mutex_
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Request> queue_;  // guarded by mutex_
};

// The two replies, allocated once: a full image whose pixels each request
// overwrites, and the empty image sent when no frame came.
struct Replies {
  svc::Sample *full = nullptr;
  svc::Sample *empty = nullptr;
};

static sensor_msgs__msg__Image &image_of(svc::Sample *sample) {
  return static_cast<kestrel_ifaces__srv__Camera_Response *>(sample->message)->image;
}

static bool prepare_replies(svc::Node &node, const Options &opts, size_t frame_bytes,
                            Replies &replies) {
  replies.full = node.response_type->new_sample();
  replies.empty = node.response_type->new_sample();
  if (!replies.full || !replies.empty) {
    return false;
  }
  sensor_msgs__msg__Image &full = image_of(replies.full);
  full.height = kHeight;
  full.width = kWidth;
  full.step = opts.depth ? kDepthStep : kRgbStep;
  full.is_bigendian = 0;  // 16-bit depth comes in host order, little endian here
  return rosidl_runtime_c__String__assign(&full.header.frame_id, opts.frame_id.c_str()) &&
         rosidl_runtime_c__String__assign(&full.encoding, opts.depth ? "16UC1" : "rgb8") &&
         rosidl_runtime_c__uint8__Sequence__init(&full.data, frame_bytes) &&
         rosidl_runtime_c__String__assign(&image_of(replies.empty).header.frame_id,
                                          opts.frame_id.c_str());
}

// Tilts, waits for the motor, takes the picture; the reply to send.
static svc::Sample *capture(Device &device, const Request &request, Replies &replies) {
  Clock::time_point deadline = request.arrived + kFrameDeadline;
  double angle = std::clamp<double>(request.angle, kMinTilt, kMaxTilt);
  if (angle != request.angle) {
    std::fprintf(stderr, "camserve: angle %d clamped to %g degrees\n", request.angle, angle);
  }
  sensor_msgs__msg__Image &image = image_of(replies.full);
  std::chrono::system_clock::time_point stamp;
  std::string reason;
  if (!take_frame(device, angle, image.data.data, deadline, stamp, reason)) {
    std::fprintf(stderr, "camserve: empty reply to request %llu: %s\n",
                 static_cast<unsigned long long>(request.reply_to.sequence_number().to64long()),
                 reason.c_str());
    return replies.empty;
  }
  auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(stamp.time_since_epoch());
  image.header.stamp.sec = static_cast<int32_t>(since_epoch.count() / 1000000000);
  image.header.stamp.nanosec = static_cast<uint32_t>(since_epoch.count() % 1000000000);
  return replies.full;
}

static void reply(fdds::DataWriter *writer, svc::MatchedReaders &matched, const Request &request,
                  svc::Sample *sample) {
  if (request.reader_known && !matched.wait_for(request.reply_to.writer_guid(), kReaderWait)) {
    std::fprintf(stderr, "camserve: the client %s is gone; reply not sent\n",
                 svc::guid_text(request.reply_to.writer_guid()).c_str());
    return;
  }
  eprosima::fastrtps::rtps::WriteParams params;
  params.related_sample_identity(request.reply_to);
  if (!writer->write(sample, params)) {
    std::fprintf(stderr, "camserve: cannot write the reply\n");
  }
}

// ----------------------------------------------------------------------- main

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

  Device device;
  if (!open_device(device, opts)) {
    return 1;
  }
  svc::Node node;
  if (!svc::open_node(node, *domain, kNodeName, *names, error)) {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
    close_device(device, opts.depth);
    return 1;
  }
  RequestQueue queue(node.request_type);
  svc::MatchedReaders matched;
  Replies replies;
  fdds::DataReader *reader =
      node.subscriber->create_datareader(node.request_topic, svc::endpoint_reader_qos(), &queue);
  fdds::DataWriter *writer =
      node.publisher->create_datawriter(node.reply_topic, svc::endpoint_writer_qos(), &matched);
  bool ready = reader && writer && prepare_replies(node, opts, device.frame_bytes, replies);
  if (!ready) {
    error = "cannot create the endpoints of " + names->service;
  } else {
    ready = svc::announce_node(node, kNodeName, {reader->guid()}, {writer->guid()}, error);
  }

  if (ready) {
    std::printf("Serving %s on domain %u\n", names->service.c_str(), *domain);
    std::fflush(stdout);
    pthread_sigmask(SIG_UNBLOCK, &stop_signals, nullptr);
    // One request at a time, in arrival order; a stop signal lets the
    // request in hand finish.
    while (!g_stop) {
      std::optional<Request> request = queue.pop(kStopPoll);
      if (request) {
        reply(writer, matched, *request, capture(device, *request, replies));
      }
    }
  } else {
    std::fprintf(stderr, "camserve: %s\n", error.c_str());
  }

  close_device(device, opts.depth);
  // The last reply may still be on its way in fragments; the writer stays
  // until its readers have acknowledged it (or kAckWait passes).
  if (writer) {
    writer->wait_for_acknowledgments(kAckWait);
  }
  // The endpoints go before the samples and listeners they use.
  if (reader) node.subscriber->delete_datareader(reader);
  if (writer) node.publisher->delete_datawriter(writer);
  queue.release();
  node.response_type->deleteData(replies.full);
  node.response_type->deleteData(replies.empty);
  svc::close_node(node);
  return ready ? 0 : 1;
}
