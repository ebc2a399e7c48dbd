// The open Kinect and its frames: the driver context and device, the stream
// the node serves, and the device thread that makes every driver call.
//
// Threads: the device thread (started by open_device) pumps the driver's
// events, runs the frame callback, tilts the motor and watches it stop. Any
// other thread asks for a picture with take_frame, which posts a job and
// waits. (Driver calls from two threads would contend for the driver's own
// lock, which a thread pumping events back to back hardly ever lets go.)
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

namespace kestrel::service {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 640, kHeight = 480;       // pixels of both streams at medium resolution
constexpr double kMinTilt = -31, kMaxTilt = 31;  // degrees the motor can reach

struct Device {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  bool depth = false;             // the depth stream in millimetres instead of video
  size_t frame_bytes = 0;         // bytes of one frame of the chosen stream
  std::atomic<bool> stop{false};  // written by close_device, read by the device thread
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

// Opens Kinect `index`, starts its video stream (or depth in millimetres)
// and the device thread; false after saying why on stderr.
bool open_device(Device &device, int index, bool depth);
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
