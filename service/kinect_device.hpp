// The open Kinect and its frames: the driver context and device, its video
// and depth streams, the accelerometer, and the device thread that makes
// every driver call.
//
// Threads: the device thread (started by open_device) pumps the driver's
// events, runs the frame callbacks (each frame goes to its FrameFeed, and to
// a waiting service job), starts and stops the depth stream as
// StreamDemand asks, reads the accelerometer while the imu has readers,
// tilts the motor and watches it stop. Any other thread asks for a picture
// with take_frame, which posts a job and waits. (Driver calls from two threads would contend for
// the driver's own lock, which a thread pumping events back to back hardly ever lets go.)
#pragma once

#include <libfreenect.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "frame_feed.hpp"

namespace kestrel::service {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640, kHeight = 480;       // pixels of both streams at medium resolution
constexpr double kMinTilt = -31, kMaxTilt = 31;  // degrees the motor can reach

constexpr size_t kVideoBytes = kWidth * kHeight * 3;  // FREENECT_VIDEO_RGB
constexpr size_t kDepthBytes = kWidth * kHeight * 2;  // FREENECT_DEPTH_REGISTERED or _MM

struct Device {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  bool depth = false;      // the service answers with depth instead of video
  bool registered = true;  // depth aligned to the rgb camera, else the depth camera's own view
  size_t frame_bytes = 0;  // bytes of one frame of the service's stream
  // The driver's pinhole model (freenect_copy_registration's zero plane, in
  // mm), set by open_device.
  double zero_plane_distance = 0, zero_plane_pixel_size = 0;
  FrameFeed video{kVideoBytes};               // every video frame, always streaming
  FrameFeed depth_frames{kDepthBytes};        // every depth frame, while the depth stream runs
  AccelFeed accel;                            // accelerometer readings, while the imu is read
  StreamDemand demand;                        // what the publishers' readers want
  bool depth_running = false;                 // device thread only
  Clock::time_point next_accel, depth_retry;  // device thread only
  std::atomic<bool> stop{false};              // written by close_device, read by the device thread
  std::thread thread;
  std::atomic<uint64_t> frames{0};      // frames delivered so far; counted by the device thread
  Clock::time_point last_frame_at;      // when the last frame came; device thread only
  std::atomic<bool> job_posted{false};  // a job was posted the device thread has not begun
  // The callback copies a frame only while this is set (under mutex): a lock
  // taken for every frame would keep the waiting thread from it when frames
  // come back to back.
  std::atomic<bool> waiting{false};

  // Fields below are guarded by mutex.
  std::mutex mutex;
  std::condition_variable frame_came;
  uint64_t job = 0;            // number of the current job; take_frame counts, 0 = none
  double angle = 0;            // the job's tilt, degrees
  Clock::time_point deadline;  // the job's frame must come by then
  uint64_t wanted = 0;         // number of the frame the job waits for
  uint8_t *target = nullptr;   // where that frame goes
  bool captured = false;       // the wanted frame has been copied to target
  std::string failed;          // why the job cannot give a picture; empty while it can
  std::chrono::system_clock::time_point stamp;  // when the captured frame arrived
  std::string lost;                             // why frames stopped; empty while streaming
};

// Opens Kinect `index`, sets its depth mode (registered or millimetres),
// starts its video stream (and depth, when the service answers with it) and
// the device thread; false after saying why on stderr.
bool open_device(Device &device, int index, bool registered, bool service_depth);
// Ends the device thread, stops the stream and closes the device.
void close_device(Device &device);

// Has the device thread tilt to `angle` and copy into `target` the first
// frame that began after the motor stopped (the frame in progress when the
// motor has been still since before it began). False, with the reason, when
// the motor refuses the tilt, the device is lost or no frame comes by
// `deadline`.
bool take_frame(Device &device, double angle, uint8_t *target, Clock::time_point deadline,
                std::chrono::system_clock::time_point &stamp, std::string &reason);

// Why the device is lost for good (its event loop failed or ended); empty
// while it streams.
std::string lost_reason(Device &device);

}  // namespace kestrel::service
