// Frame modes, buffers, callbacks and starting and stopping the streams.
#include <libfreenect.h>
#include <libfreenect_audio.h>

#include "config.hpp"
#include "device.hpp"
#include "modes.hpp"
#include "trace.hpp"

using namespace ksim;

namespace {

// Runs `change` on the live device behind `handle` under the lock; -1 when
// the handle is not a live device.
template <typename Change>
int with_device(freenect_device *handle, Change change) {
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  return dev ? change(*dev) : -1;
}

int set_mode(freenect_device *handle, const freenect_frame_mode &mode, bool depth) {
  return with_device(handle, [&](Device &dev) {
    const freenect_frame_mode found = depth ? find_depth_mode(mode.resolution, mode.depth_format)
                                            : find_video_mode(mode.resolution, mode.video_format);
    Stream &stream = depth ? dev.depth : dev.video;
    if (!mode.is_valid || !found.is_valid || stream.running) return -1;
    (depth ? dev.depth_mode : dev.video_mode) = found;
    return 0;
  });
}

int start(freenect_device *handle, Stream Device::*which, int subdevice) {
  return with_device(handle, [&](Device &dev) {
    Stream &s = dev.*which;
    if (!(dev.subdevices & subdevice) || s.running) return -1;
    s.running = true;
    s.started_at = now(*dev.ctx);
    s.next = s.delivered = s.samples_sent = 0;
    if (which == &Device::depth) s.own_buffer.resize(dev.depth_mode.bytes);
    if (which == &Device::video) s.own_buffer.resize(dev.video_mode.bytes);
    // A view prepared before the stream stopped is stale: the motor may have turned since.
    if (which == &Device::depth) dev.depth_view.reset();
    if (which == &Device::video) dev.video_view.reset();
    return 0;
  });
}

int stop(freenect_device *handle, Stream Device::*which) {
  return with_device(handle, [&](Device &dev) {
    Stream &s = dev.*which;
    if (!s.running) return -1;
    s.running = false;
    return 0;
  });
}

template <typename Callback>
void set_callback(const char *function, freenect_device *handle, Callback Device::*slot,
                  Callback cb) {
  TraceLine(function).arg_set(reinterpret_cast<void *>(cb)).end();
  with_device(handle, [&](Device &dev) {
    dev.*slot = cb;
    return 0;
  });
}

// The device's mode in `slot`, or `unknown` (an invalid mode) for a handle
// that is not an open device.
freenect_frame_mode current_mode(const char *function, freenect_device *handle,
                                 freenect_frame_mode Device::*slot, freenect_frame_mode unknown) {
  TraceLine t(function);
  freenect_frame_mode m = unknown;
  with_device(handle, [&](Device &dev) {
    m = dev.*slot;
    return 0;
  });
  t.result(m.is_valid);
  return m;
}

}  // namespace

extern "C" {

int freenect_get_video_mode_count() {
  TraceLine t(__func__);
  return traced(t, [] { return video_mode_count(); });
}

freenect_frame_mode freenect_get_video_mode(int mode_num) {
  TraceLine t(__func__);
  const freenect_frame_mode m = video_mode_at(mode_num);
  t.arg(mode_num).result(m.is_valid);
  return m;
}

freenect_frame_mode freenect_get_current_video_mode(freenect_device *handle) {
  return current_mode(__func__, handle, &Device::video_mode,
                      find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_DUMMY));
}

freenect_frame_mode freenect_find_video_mode(freenect_resolution res, freenect_video_format fmt) {
  TraceLine t(__func__);
  const freenect_frame_mode m = find_video_mode(res, fmt);
  t.arg(res).arg(fmt).result(m.is_valid);
  return m;
}

int freenect_set_video_mode(freenect_device *dev, freenect_frame_mode mode) {
  TraceLine t(__func__);
  t.arg(mode.resolution).arg(mode.video_format);
  return traced(t, [&] { return set_mode(dev, mode, false); });
}

int freenect_get_depth_mode_count() {
  TraceLine t(__func__);
  return traced(t, [] { return depth_mode_count(); });
}

freenect_frame_mode freenect_get_depth_mode(int mode_num) {
  TraceLine t(__func__);
  const freenect_frame_mode m = depth_mode_at(mode_num);
  t.arg(mode_num).result(m.is_valid);
  return m;
}

freenect_frame_mode freenect_get_current_depth_mode(freenect_device *handle) {
  return current_mode(__func__, handle, &Device::depth_mode,
                      find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_DUMMY));
}

freenect_frame_mode freenect_find_depth_mode(freenect_resolution res, freenect_depth_format fmt) {
  TraceLine t(__func__);
  const freenect_frame_mode m = find_depth_mode(res, fmt);
  t.arg(res).arg(fmt).result(m.is_valid);
  return m;
}

int freenect_set_depth_mode(freenect_device *dev, const freenect_frame_mode mode) {
  TraceLine t(__func__);
  t.arg(mode.resolution).arg(mode.depth_format);
  return traced(t, [&] { return set_mode(dev, mode, true); });
}

void freenect_set_depth_callback(freenect_device *dev, freenect_depth_cb cb) {
  set_callback(__func__, dev, &Device::depth_cb, cb);
}

void freenect_set_video_callback(freenect_device *dev, freenect_video_cb cb) {
  set_callback(__func__, dev, &Device::video_cb, cb);
}

void freenect_set_depth_chunk_callback(freenect_device *dev, freenect_chunk_cb cb) {
  set_callback(__func__, dev, &Device::depth_chunk_cb, cb);
}

void freenect_set_video_chunk_callback(freenect_device *dev, freenect_chunk_cb cb) {
  set_callback(__func__, dev, &Device::video_chunk_cb, cb);
}

void freenect_set_audio_in_callback(freenect_device *dev, freenect_audio_in_cb cb) {
  set_callback(__func__, dev, &Device::audio_in_cb, cb);
}

// The simulated device plays nothing, so no audio-out callback is ever called.
void freenect_set_audio_out_callback(freenect_device *, freenect_audio_out_cb cb) {
  TraceLine(__func__).arg_set(reinterpret_cast<void *>(cb)).end();
}

int freenect_set_depth_buffer(freenect_device *handle, void *buf) {
  TraceLine t(__func__);
  return traced(t, [&] {
    return with_device(handle, [&](Device &dev) {
      dev.depth.user_buffer = buf;
      return 0;
    });
  });
}

int freenect_set_video_buffer(freenect_device *handle, void *buf) {
  TraceLine t(__func__);
  return traced(t, [&] {
    return with_device(handle, [&](Device &dev) {
      dev.video.user_buffer = buf;
      return 0;
    });
  });
}

int freenect_start_depth(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return start(dev, &Device::depth, FREENECT_DEVICE_CAMERA); });
}

int freenect_start_video(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return start(dev, &Device::video, FREENECT_DEVICE_CAMERA); });
}

int freenect_start_audio(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return start(dev, &Device::audio, FREENECT_DEVICE_AUDIO); });
}

int freenect_stop_depth(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return stop(dev, &Device::depth); });
}

int freenect_stop_video(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return stop(dev, &Device::video); });
}

int freenect_stop_audio(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] { return stop(dev, &Device::audio); });
}

}  // extern "C"
