// The device thread and the hand-over of one frame to a waiting thread.
#include "kinect_device.hpp"

#include <libfreenect_registration.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace std::chrono_literals;

namespace kestrel::service {

namespace {

constexpr auto kMotorWait = 3s;           // longest wait for the motor to report it stopped
constexpr auto kMotorPoll = 20ms;         // interval between tilt-state reads while it moves
constexpr auto kMotorStartGrace = 500ms;  // time a stopped motor is given to start moving
constexpr double kTiltTolerance = 2;      // degrees within which the motor is where it was sent
constexpr long kEventTimeoutUs = 20000;   // longest single wait for driver events (20 ms)
constexpr auto kAccelPeriod = 33ms;       // accelerometer reads for the imu: about 30 a second
constexpr auto kDepthRetry = 1s;          // a depth stream that failed to start is tried again then

// The device thread's watch over the motor for one job, and what it knows
// of the motor between jobs.
struct Motor {
  uint64_t job = 0;  // the job it moves for; 0 when idle
  double angle = 0;
  Clock::time_point commanded, until, next_read;
  bool seen_moving = false;
  bool blind = false;  // the job's motor state could not be read: it waits until `until`
  // Set when a job's motor reported that it stopped at `resting_angle`, and
  // since when it has been still; cleared when its state is unknown (a
  // failed tilt or read, a motor that did not stop).
  bool resting = false;
  double resting_angle = 0;
  Clock::time_point still_since;
};

// A frame of the service's stream: counted, and copied to a job waiting for it.
void serve_frame(Device *device, const void *data, SystemTime stamp) {
  uint64_t number = device->frames++;
  device->last_frame_at = Clock::now();
  if (!device->waiting) {
    return;
  }
  std::lock_guard<std::mutex> lock(device->mutex);
  if (device->target && !device->captured && number >= device->wanted) {
    std::memcpy(device->target, data, device->frame_bytes);
    device->stamp = stamp;
    device->captured = true;
    device->waiting = false;
    device->frame_came.notify_all();
  }
}

// Called on the device thread for every frame: the frame, stamped on its
// arrival, goes to the service and to its feed, and the driver fills a
// buffer nobody holds next.
void on_video(freenect_device *dev, void *data, uint32_t /*timestamp*/) {
  Device *device = static_cast<Device *>(freenect_get_user(dev));
  SystemTime stamp = std::chrono::system_clock::now();
  if (!device->depth) serve_frame(device, data, stamp);
  freenect_set_video_buffer(dev, device->video.deliver(stamp));
}

void on_depth(freenect_device *dev, void *data, uint32_t /*timestamp*/) {
  Device *device = static_cast<Device *>(freenect_get_user(dev));
  SystemTime stamp = std::chrono::system_clock::now();
  if (device->depth) serve_frame(device, data, stamp);
  freenect_set_depth_buffer(dev, device->depth_frames.deliver(stamp));
}

// The motor is done for the job. The frame to take is the one in progress
// when the motor has been still since before it began (it began when the
// last frame came), else the next one to begin.
void motor_done(Device &device, Motor &motor) {
  bool still = motor.resting && motor.still_since <= device.last_frame_at;
  std::lock_guard<std::mutex> lock(device.mutex);
  if (device.job == motor.job && device.target) {
    device.wanted = device.frames + (still ? 0 : 1);
    device.waiting = true;
  }
  motor.job = 0;
}

// The job cannot give a picture: take_frame answers with `reason`.
void fail_job(Device &device, Motor &motor, const std::string &reason) {
  std::lock_guard<std::mutex> lock(device.mutex);
  if (device.job == motor.job && device.target) {
    device.failed = reason;
    device.frame_came.notify_all();
  }
  motor.job = 0;
}

// Sends the motor to the posted job's angle.
void start_tilt(Device &device, Motor &motor) {
  {
    std::lock_guard<std::mutex> lock(device.mutex);
    if (!device.target) return;  // the job ended before the device thread began it
    motor.job = device.job;
    motor.angle = device.angle;
    motor.until = std::min(Clock::now() + kMotorWait, device.deadline);
  }
  motor.commanded = motor.next_read = Clock::now();
  motor.seen_moving = false;
  motor.blind = false;
  if (freenect_set_tilt_degs(device.dev, motor.angle) < 0) {
    motor.resting = false;
    char reason[64];
    std::snprintf(reason, sizeof reason, "the motor refused the tilt to %g degrees", motor.angle);
    fail_job(device, motor, reason);
  }
}

// Reads the motor's state. Right after a command the motor may still report
// the stop before it (the command takes a moment to reach it), so a stopped
// status counts once the motor was seen moving, reads the requested angle,
// or has had kMotorStartGrace to start. At most kMotorWait; a motor whose
// state cannot be read is given all of kMotorWait.
void read_motor(Device &device, Motor &motor) {
  Clock::time_point now = Clock::now();
  motor.next_read = now + kMotorPoll;
  if (motor.blind) {
    motor_done(device, motor);  // the full motor time has passed
    return;
  }
  if (freenect_update_tilt_state(device.dev) < 0) {
    std::fprintf(stderr, "camserve: cannot read the motor's state; waiting the full motor time\n");
    motor.blind = true;
    motor.resting = false;
    motor.next_read = motor.until;
    return;
  }
  freenect_raw_tilt_state *state = freenect_get_tilt_state(device.dev);
  freenect_tilt_status_code status = freenect_get_tilt_status(state);
  motor.seen_moving = motor.seen_moving || status == TILT_STATUS_MOVING;
  bool arrived = std::abs(freenect_get_tilt_degs(state) - motor.angle) <= kTiltTolerance;
  if (status != TILT_STATUS_MOVING &&
      (motor.seen_moving || arrived || now - motor.commanded >= kMotorStartGrace)) {
    // Sent where it already rested and found there unmoved: still since then.
    bool stayed =
        motor.resting && motor.resting_angle == motor.angle && arrived && !motor.seen_moving;
    if (!stayed) motor.still_since = now;
    motor.resting = true;
    motor.resting_angle = motor.angle;
    motor_done(device, motor);
  } else if (now >= motor.until) {
    std::fprintf(stderr, "camserve: the motor still moves; taking the picture anyway\n");
    motor.resting = false;
    motor_done(device, motor);
  }
}

// Runs the depth stream while the service or a reader needs it, and reads
// the accelerometer while the imu has readers.
void follow_demand(Device &device) {
  Clock::time_point now = Clock::now();
  bool want_depth = device.depth || device.demand.depth > 0;
  if (want_depth && !device.depth_running && now >= device.depth_retry) {
    if (freenect_start_depth(device.dev) < 0) {
      std::fprintf(stderr, "camserve: cannot start the depth stream; trying again\n");
      device.depth_retry = now + kDepthRetry;
    } else {
      device.depth_running = true;
    }
  } else if (!want_depth && device.depth_running) {
    freenect_stop_depth(device.dev);
    device.depth_running = false;
  }
  if (device.demand.accel > 0 && now >= device.next_accel) {
    device.next_accel = now + kAccelPeriod;
    if (freenect_update_tilt_state(device.dev) >= 0) {
      double x, y, z;
      freenect_get_mks_accel(freenect_get_tilt_state(device.dev), &x, &y, &z);
      device.accel.deliver(x, y, z, std::chrono::system_clock::now());
    }
  }
}

void pump_events(Device *device) {
  Motor motor;
  while (!device->stop) {
    timeval timeout{0, kEventTimeoutUs};
    int status = freenect_process_events_timeout(device->ctx, &timeout);
    if (status < 0) {
      std::lock_guard<std::mutex> lock(device->mutex);
      device->lost = "the Kinect is lost: the device stopped delivering (driver event error " +
                     std::to_string(status) + ")";
      std::fprintf(stderr, "camserve: %s\n", device->lost.c_str());
      device->frame_came.notify_all();
      device->video.close();
      device->depth_frames.close();
      device->accel.close();
      return;
    }
    if (device->job_posted.exchange(false)) {
      start_tilt(*device, motor);
    }
    if (motor.job != 0 && Clock::now() >= motor.next_read) {
      read_motor(*device, motor);
    }
    follow_demand(*device);
  }
}

// The driver's pinhole model: the zero plane of its registration data.
void read_zero_plane(Device &device) {
  freenect_registration registration = freenect_copy_registration(device.dev);
  device.zero_plane_distance = registration.zero_plane_info.reference_distance;
  device.zero_plane_pixel_size = registration.zero_plane_info.reference_pixel_size;
  freenect_destroy_registration(&registration);
}

}  // namespace

bool open_device(Device &device, int index, bool registered, bool service_depth) {
  if (freenect_init(&device.ctx, nullptr) < 0) {
    std::fprintf(stderr, "camserve: cannot initialise the Kinect driver\n");
    return false;
  }
  freenect_select_subdevices(device.ctx, static_cast<freenect_device_flags>(
                                             FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA));
  int count = freenect_num_devices(device.ctx);
  if (count <= index) {
    std::fprintf(stderr, "camserve: no Kinect at index %d (%d found)\n", index, std::max(count, 0));
    freenect_shutdown(device.ctx);
    return false;
  }
  if (freenect_open_device(device.ctx, &device.dev, index) < 0) {
    std::fprintf(stderr, "camserve: cannot open Kinect %d\n", index);
    freenect_shutdown(device.ctx);
    return false;
  }
  freenect_set_user(device.dev, &device);
  device.depth = service_depth;
  device.registered = registered;
  device.frame_bytes = service_depth ? kDepthBytes : kVideoBytes;
  read_zero_plane(device);
  freenect_frame_mode depth_mode = freenect_find_depth_mode(
      FREENECT_RESOLUTION_MEDIUM, registered ? FREENECT_DEPTH_REGISTERED : FREENECT_DEPTH_MM);
  freenect_frame_mode video_mode =
      freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  freenect_set_depth_callback(device.dev, on_depth);
  freenect_set_video_callback(device.dev, on_video);
  bool sizes = static_cast<size_t>(depth_mode.bytes) == kDepthBytes &&
               static_cast<size_t>(video_mode.bytes) == kVideoBytes;
  const char *failed = nullptr;
  if (!sizes || freenect_set_depth_mode(device.dev, depth_mode) < 0 ||
      freenect_set_depth_buffer(device.dev, device.depth_frames.first_buffer()) < 0) {
    failed = "set the depth mode of";
  } else if (freenect_set_video_mode(device.dev, video_mode) < 0 ||
             freenect_set_video_buffer(device.dev, device.video.first_buffer()) < 0 ||
             freenect_start_video(device.dev) < 0) {
    failed = "start the video stream of";
  } else if (service_depth && freenect_start_depth(device.dev) < 0) {
    freenect_stop_video(device.dev);
    failed = "start the depth stream of";
  }
  if (failed) {
    std::fprintf(stderr, "camserve: cannot %s Kinect %d\n", failed, index);
    freenect_close_device(device.dev);
    freenect_shutdown(device.ctx);
    return false;
  }
  device.depth_running = service_depth;
  device.thread = std::thread(pump_events, &device);
  return true;
}

void close_device(Device &device) {
  device.stop = true;
  device.thread.join();
  freenect_stop_video(device.dev);
  if (device.depth_running) {
    freenect_stop_depth(device.dev);
  }
  freenect_close_device(device.dev);
  freenect_shutdown(device.ctx);
  device.video.close();
  device.depth_frames.close();
  device.accel.close();
}

bool take_frame(Device &device, double angle, uint8_t *target, Clock::time_point deadline,
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
  device.failed.clear();
  device.job_posted = true;
  device.frame_came.wait_until(lock, deadline, [&] {
    return device.captured || !device.failed.empty() || !device.lost.empty();
  });
  // The job ends here whatever happened; a motor still watched for it is
  // then ignored.
  ++device.job;
  device.job_posted = false;
  device.waiting = false;
  device.target = nullptr;
  if (!device.captured) {
    reason = !device.failed.empty() ? device.failed
             : !device.lost.empty() ? device.lost
                                    : "no frame came in time";
    return false;
  }
  stamp = device.stamp;
  return true;
}

std::string lost_reason(Device &device) {
  std::lock_guard<std::mutex> lock(device.mutex);
  return device.lost;
}

}  // namespace kestrel::service
