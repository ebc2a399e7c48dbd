// The simulator's contexts and devices. Handles given to callers are pointers
// to these records; every entry point checks a handle against the registry
// before touching it, so stale or foreign handles give an error, not a crash.
// Released records are kept, not freed, so a handle is never reused.
#pragma once

#include <libfreenect.h>
#include <libfreenect_audio.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "frames.hpp"

namespace ksim {

struct Context;

// One stream (depth, video or audio) of a device.
struct Stream {
  bool running = false;
  double started_at = 0;            // context clock (seconds) at the start
  uint64_t next = 0;                // number of the next frame (or audio delivery)
  uint64_t delivered = 0;           // deliveries since the start (KSIM_END_AFTER counts these)
  uint64_t samples_sent = 0;        // audio: samples per microphone delivered since the start
  void *user_buffer = nullptr;      // depth and video: the caller's frame buffer, if set
  std::vector<uint8_t> own_buffer;  // depth and video: the library's frame buffer
  void *target() { return user_buffer ? user_buffer : own_buffer.data(); }
};

struct Device {
  Context *ctx = nullptr;
  int index = 0;       // bus index
  int subdevices = 0;  // freenect_device_flags opened
  void *user = nullptr;

  freenect_depth_cb depth_cb = nullptr;
  freenect_video_cb video_cb = nullptr;
  freenect_chunk_cb depth_chunk_cb = nullptr;
  freenect_chunk_cb video_chunk_cb = nullptr;
  freenect_audio_in_cb audio_in_cb = nullptr;
  freenect_frame_mode depth_mode{};
  freenect_frame_mode video_mode{};
  Stream depth, video, audio;

  // The motor turns from tilt_from towards tilt_to (degrees, the request
  // clamped to its range) at config().motor_speed, since tilt_since
  // (motor_clock()).
  double tilt_from = 0, tilt_to = 0, tilt_since = 0;
  bool tilt_clamped = false;             // the last request was beyond the motor's range
  freenect_raw_tilt_state tilt_state{};  // as of the last freenect_update_tilt_state
  int ir_brightness = 25;
  // Tilted scene frames computed for the next depth and video deliveries,
  // taken by them whatever the motor did meanwhile (events.cpp).
  std::shared_ptr<const DepthFrame> depth_view;
  std::shared_ptr<const std::vector<uint8_t>> video_view;
};

struct Context {
  int select = FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA | FREENECT_DEVICE_AUDIO;
  std::vector<Device *> devices;  // open devices, in opening order
  double virtual_now = 0;         // fast pacing: the clock, in seconds
  bool ended = false;             // KSIM_END_AFTER reached: every event call fails
};

// Guards every context and device and the registry.
extern std::mutex state_lock;

// The live record behind a handle, or null; call with state_lock held.
Context *find_context(freenect_context *handle);
Device *find_device(freenect_device *handle);

// Registration and release; call with state_lock held.
freenect_context *add_context(Context *ctx);
freenect_device *add_device(Device *dev);
void remove_device(Device *dev);    // also takes it out of its context; stops its streams
void remove_context(Context *ctx);  // also removes its devices

// The context's clock in seconds: virtual with fast pacing, else monotonic.
double now(const Context &ctx);

// The motor's clock, monotonic seconds: the motor turns in real time whatever
// the pacing.
double motor_clock();

// Where the motor is at motor_clock() `at`, in degrees.
double tilt_now(const Device &dev, double at);

// The tilt state the motor reports at its current position.
freenect_raw_tilt_state motor_state(const Device &dev);

}  // namespace ksim
