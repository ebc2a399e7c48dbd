// The hand-over of frames from the device thread to the threads that publish
// them: for each stream, the latest frame, in buffers the driver fills
// directly (no copy on the device thread).
//
// Threads: the device thread calls first_buffer and deliver (from the frame
// callback); any number of publishing threads call wait_next. A frame stays
// valid while a FramePtr to it is held; its buffer is then reused.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrel::service {

using SystemTime = std::chrono::system_clock::time_point;

struct Frame {
  std::vector<uint8_t> bytes;  // the driver's output for one frame
  uint64_t number = 0;         // 1 for the first frame delivered, counted per feed
  SystemTime stamp;            // arrival in the driver callback
};
using FramePtr = std::shared_ptr<const Frame>;

class FrameFeed {
 public:
  explicit FrameFeed(size_t frame_bytes) : frame_bytes_(frame_bytes) {}

  size_t frame_bytes() const { return frame_bytes_; }
  // Device thread: the buffer the driver fills first (before the stream starts).
  uint8_t *first_buffer();
  // Device thread, in the frame callback: the buffer just filled becomes the
  // latest frame, stamped `stamp`; returns the buffer for the next frame,
  // one nobody holds.
  uint8_t *deliver(SystemTime stamp);
  // A frame numbered above `after` (the latest one), or null after
  // `timeout` or once closed.
  FramePtr wait_next(uint64_t after, std::chrono::milliseconds timeout);
  bool closed();
  // The latest frame (null before the first).
  FramePtr latest();
  // Wakes every waiter; no frame is delivered afterwards.
  void close();

 private:
  std::shared_ptr<Frame> spare();  // under mutex_

  const size_t frame_bytes_;
  std::mutex mutex_;
  std::condition_variable delivered_;
  // Guarded by mutex_: every buffer made so far, the one the driver fills,
  // the latest delivered, their count, whether closed.
  std::vector<std::shared_ptr<Frame>> pool_;
  std::shared_ptr<Frame> filling_, latest_;
  uint64_t count_ = 0;
  bool closed_ = false;
};

// The accelerometer's latest reading, handed from the device thread to the
// imu publisher the same way.
struct Accel {
  double x = 0, y = 0, z = 0;  // m/s², in the driver's axes
  uint64_t number = 0;         // readings so far
  SystemTime stamp;
};

class AccelFeed {
 public:
  void deliver(double x, double y, double z, SystemTime stamp);  // device thread
  // A reading numbered above `after`, false after `timeout` or once closed.
  bool wait_next(uint64_t after, std::chrono::milliseconds timeout, Accel &out);
  bool closed();
  void close();

 private:
  std::mutex mutex_;
  std::condition_variable delivered_;
  Accel latest_;         // guarded by mutex_
  bool closed_ = false;  // guarded by mutex_
};

}  // namespace kestrel::service

namespace kestrel::service {

// How many matched readers want the streams that start only on demand:
// counted by the publishers' match listeners (Fast-DDS's threads), read by
// the device thread, which starts and stops the depth stream and the
// accelerometer reads to match.
struct StreamDemand {
  std::atomic<int> depth{0};  // readers of depth images, their camera infos and clouds
  std::atomic<int> accel{0};  // readers of the imu topic
};

}  // namespace kestrel::service
