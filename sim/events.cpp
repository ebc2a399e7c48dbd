// Event processing: deciding which deliveries are due, pacing, and calling the
// depth, video, chunk and audio callbacks without holding the state lock.
#include <libfreenect.h>
#include <libfreenect_audio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "config.hpp"
#include "device.hpp"
#include "frames.hpp"
#include "trace.hpp"

using namespace ksim;

namespace {

constexpr double kFramePeriod = 1.0 / 30;  // seconds between frames of a stream
constexpr double kIdleSleep = 0.010;       // seconds slept when no stream runs
constexpr double kIdleSleepFast = 0.001;   // the same with fast pacing
// Longest sleep while a depth or video stream runs: a USB event loop wakes for
// every isochronous transfer of those streams, a few hundred times a second,
// whether or not a frame completes; so does this one. Audio alone is a trickle
// of small transfers, so the loop sleeps until the next delivery is due.
constexpr double kTransferPeriod = 0.002;
constexpr double kNever = std::numeric_limits<double>::infinity();

constexpr size_t kDepthPacketBytes = 1748;  // payload of one depth packet
constexpr size_t kVideoPacketBytes = 1908;  // payload of one video packet

enum class Kind { kDepth, kVideo, kAudio };
constexpr Kind kKinds[] = {Kind::kDepth, Kind::kVideo, Kind::kAudio};

Stream &stream_of(Device &dev, Kind kind) {
  return kind == Kind::kDepth ? dev.depth : kind == Kind::kVideo ? dev.video : dev.audio;
}

int audio_size(const Stream &s) {
  const auto &sizes = config().audio_sizes;
  return sizes[s.next % sizes.size()];
}

bool capped(const Stream &s) {
  return config().end_after && s.delivered >= config().end_after;
}

// When the stream's next delivery is due (context clock), or kNever.
double due_time(Device &dev, Kind kind) {
  Stream &s = stream_of(dev, kind);
  if (!s.running || capped(s)) return kNever;
  if (kind == Kind::kAudio)
    return s.started_at + static_cast<double>(s.samples_sent + audio_size(s)) / kAudioRate;
  return s.started_at + static_cast<double>(s.next + 1) * kFramePeriod;
}

// True once every running stream has delivered KSIM_END_AFTER times.
bool all_streams_ended(Context &ctx) {
  if (!config().end_after) return false;
  bool any = false;
  for (Device *dev : ctx.devices) {
    for (Kind kind : kKinds) {
      const Stream &s = stream_of(*dev, kind);
      if (!s.running) continue;
      if (!capped(s)) return false;
      any = true;
    }
  }
  return any;
}

bool camera_streaming(Context &ctx) {
  for (Device *dev : ctx.devices) {
    if (dev->depth.running || dev->video.running) return true;
  }
  return false;
}

double next_due(Context &ctx) {
  double due = kNever;
  for (Device *dev : ctx.devices) {
    for (Kind kind : kKinds) due = std::min(due, due_time(*dev, kind));
  }
  return due;
}

void sleep_seconds(double s) {
  if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

// The first delivery due at or before `t`, earliest first; ties go by device
// and then depth, video, audio. False when none is due.
bool earliest_due(Context &ctx, double t, Device **dev_out, Kind *kind_out) {
  double best = kNever;
  for (Device *dev : ctx.devices) {
    for (Kind kind : kKinds) {
      const double due = due_time(*dev, kind);
      if (due <= t && due < best) best = due, *dev_out = dev, *kind_out = kind;
    }
  }
  return best != kNever;
}

uint32_t timestamp(const std::vector<uint32_t> &recorded, uint64_t frame) {
  if (recorded.empty()) return frame_timestamp(config().first_timestamp, frame);
  return recorded[frame % recorded.size()];
}

// A depth or video frame ready to hand over, captured under the lock.
struct FrameDelivery {
  freenect_device *handle;
  Kind kind;
  void (*frame_cb)(freenect_device *, void *, uint32_t);
  freenect_chunk_cb chunk_cb;
  void *user;
  void *buffer;
  uint32_t timestamp;
  const uint8_t *packets;  // with a chunk callback: the stream cut into packets
  size_t packet_stream_bytes, packet_bytes;
  std::shared_ptr<const void> view;  // the tilted frame `packets` points into, if any
};

// An audio delivery, captured under the lock.
struct AudioDelivery {
  freenect_device *handle;
  freenect_audio_in_cb cb;
  int samples;
  uint64_t first_sample;
};

// True when the next frame of a depth or video stream is the scene at a tilt
// that is neither prepared nor cached, with that tilt; else the frame is at
// hand (recorded, level, prepared, or now taken from the cache).
bool needs_view(Device &dev, Kind kind, double *tilt) {
  const Source &src = source();
  const bool depth = kind == Kind::kDepth;
  if (!(depth ? src.depth_is_scene : src.video_is_scene)) return false;
  if (depth ? dev.depth_view != nullptr : dev.video_view != nullptr) return false;
  *tilt = tilt_now(dev, motor_clock());
  if (*tilt == 0) return false;
  if (depth) return !(dev.depth_view = scene_depth_at(*tilt, false));
  return !(dev.video_view = scene_video_at(*tilt, false));
}

// Computes the view needs_view asked for, without the lock (a tilted frame
// takes a while), and hands it to the device if it is still open.
void prepare_view(freenect_device *handle, Kind kind, double tilt,
                  std::unique_lock<std::mutex> &hold) {
  hold.unlock();
  std::shared_ptr<const DepthFrame> depth;
  std::shared_ptr<const std::vector<uint8_t>> video;
  if (kind == Kind::kDepth)
    depth = scene_depth_at(tilt, true);
  else
    video = scene_video_at(tilt, true);
  hold.lock();
  Device *dev = find_device(handle);
  if (!dev) return;
  if (depth) dev->depth_view = std::move(depth);
  if (video) dev->video_view = std::move(video);
}

// Takes the next frame of a depth or video stream: advances its counters and,
// without a chunk callback, copies the frame into the stream's buffer.
FrameDelivery take_frame(Device &dev, Kind kind, double t) {
  Stream &s = stream_of(dev, kind);
  if (!config().fast) {
    // Skip to the newest frame due by now, as a device overwrites unread frames.
    const auto newest = static_cast<uint64_t>((t - s.started_at) / kFramePeriod);
    if (newest > s.next + 1) s.next = newest - 1;
  }
  const uint64_t frame = s.next++;
  ++s.delivered;
  const Source &src = source();
  FrameDelivery d{};
  d.handle = reinterpret_cast<freenect_device *>(&dev);
  d.kind = kind;
  d.user = dev.user;
  d.buffer = s.target();
  const uint8_t *bytes;
  size_t size;
  if (kind == Kind::kDepth) {
    std::shared_ptr<const DepthFrame> view = std::move(dev.depth_view);
    const DepthFrame &f = view ? *view : src.depth[frame % src.depth.size()];
    d.view = std::move(view);
    d.frame_cb = dev.depth_cb;
    d.chunk_cb = dev.depth_chunk_cb;
    d.timestamp = timestamp(src.depth_timestamps, frame);
    bytes = f.bytes(dev.depth_mode.depth_format);
    size = static_cast<size_t>(dev.depth_mode.bytes);
    d.packets = f.packed.data();
    d.packet_stream_bytes = kPackedBytes;
    d.packet_bytes = kDepthPacketBytes;
  } else {
    std::shared_ptr<const std::vector<uint8_t>> view = std::move(dev.video_view);
    const std::vector<uint8_t> &f = view ? *view : src.video[frame % src.video.size()];
    d.view = std::move(view);
    d.frame_cb = dev.video_cb;
    d.chunk_cb = dev.video_chunk_cb;
    d.timestamp = timestamp(src.video_timestamps, frame);
    bytes = f.data();
    size = kVideoBytes;
    d.packets = f.data();
    d.packet_stream_bytes = kVideoBytes;
    d.packet_bytes = kVideoPacketBytes;
  }
  if (!d.chunk_cb && bytes) std::memcpy(d.buffer, bytes, size);
  return d;
}

AudioDelivery take_audio(Device &dev) {
  Stream &s = dev.audio;
  AudioDelivery d{reinterpret_cast<freenect_device *>(&dev), dev.audio_in_cb, audio_size(s),
                  s.samples_sent};
  s.samples_sent += d.samples;
  ++s.next;
  ++s.delivered;
  return d;
}

// True while the stream a delivery belongs to is still running on a live device.
bool still_streaming(freenect_device *handle, Kind kind) {
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  return dev && stream_of(*dev, kind).running;
}

// One packet: the payload is a separate block of exactly `size` bytes.
bool send_packet(const FrameDelivery &d, const uint8_t *from, size_t size, int number) {
  if (!still_streaming(d.handle, d.kind)) return false;
  std::unique_ptr<uint8_t[]> payload(new uint8_t[size]);
  std::memcpy(payload.get(), from, size);
  if (d.kind == Kind::kDepth)
    TraceLine("@chunk").arg(number).arg(static_cast<long long>(size)).end();
  d.chunk_cb(d.buffer, payload.get(), number, static_cast<int>(size), d.user);
  return true;
}

// The malformed packets KSIM_FAULT=packets adds after each depth frame.
bool send_bad_packets(const FrameDelivery &d) {
  struct Bad {
    int number;
    size_t size;
    int source_packet;  // whose bytes the payload starts with
  };
  static constexpr Bad kBad[] = {
      {242, kDepthPacketBytes, 0},
      {1000, kDepthPacketBytes, 0},
      {2147483647, kDepthPacketBytes, 0},
      {10, 100, 10},
      {100, 0, 100},
      {241, 1000, 241},
  };
  for (const Bad &b : kBad) {
    if (!send_packet(d, d.packets + b.source_packet * d.packet_bytes, b.size, b.number))
      return false;
  }
  return true;
}

void hand_over(const FrameDelivery &d) {
  if (d.chunk_cb) {
    int number = 0;
    for (size_t at = 0; at < d.packet_stream_bytes; at += d.packet_bytes, ++number) {
      const size_t size = std::min(d.packet_bytes, d.packet_stream_bytes - at);
      if (!send_packet(d, d.packets + at, size, number)) return;
    }
    if (d.kind == Kind::kDepth && config().fault_packets && !send_bad_packets(d)) return;
    if (!still_streaming(d.handle, d.kind)) return;
  }
  TraceLine(d.kind == Kind::kDepth ? "@depth" : "@video").arg(d.timestamp).end();
  if (d.frame_cb) d.frame_cb(d.handle, d.buffer, d.timestamp);
}

void hand_over(const AudioDelivery &d) {
  TraceLine("@audio").arg(d.samples).end();
  if (!d.cb) return;
  const auto &signals = source().audio;
  std::vector<int32_t> mics[4];
  for (int m = 0; m < 4; ++m) {
    const auto &signal = signals[m];
    mics[m].resize(d.samples);
    for (int i = 0; i < d.samples; ++i) mics[m][i] = signal[(d.first_sample + i) % signal.size()];
  }
  std::vector<int16_t> cancelled(d.samples, 0);
  d.cb(d.handle, d.samples, mics[0].data(), mics[1].data(), mics[2].data(), mics[3].data(),
       cancelled.data(), nullptr);
}

// Delivers what is due; waits at most `max_wait` seconds for it.
int process(freenect_context *handle, double max_wait) {
  std::unique_lock<std::mutex> hold(state_lock);
  Context *ctx = find_context(handle);
  if (!ctx) return -1;
  if (!ctx->ended && all_streams_ended(*ctx)) ctx->ended = true;
  if (ctx->ended) return -1;
  const double due = next_due(*ctx);
  if (due == kNever) {
    hold.unlock();
    sleep_seconds(std::min(config().fast ? kIdleSleepFast : kIdleSleep, max_wait));
    return 0;
  }
  double t = now(*ctx);
  if (due > t) {
    if (config().fast) {
      ctx->virtual_now = t = due;
    } else {
      const double longest = camera_streaming(*ctx) ? kTransferPeriod : kNever;
      hold.unlock();
      sleep_seconds(std::min({due - t, longest, max_wait}));
      hold.lock();
      ctx = find_context(handle);
      if (!ctx) return -1;  // shut down meanwhile
      t = now(*ctx);
    }
  }
  Device *dev = nullptr;
  Kind kind = Kind::kDepth;
  while (earliest_due(*ctx, t, &dev, &kind)) {
    if (kind == Kind::kAudio) {
      const AudioDelivery d = take_audio(*dev);
      hold.unlock();
      hand_over(d);
    } else {
      double tilt = 0;
      if (needs_view(*dev, kind, &tilt)) {
        prepare_view(reinterpret_cast<freenect_device *>(dev), kind, tilt, hold);
        ctx = find_context(handle);
        if (!ctx) return 0;  // shut down meanwhile
        continue;            // the view waits for its delivery, which may have changed
      }
      const FrameDelivery d = take_frame(*dev, kind, t);
      hold.unlock();
      hand_over(d);
    }
    hold.lock();
    ctx = find_context(handle);
    if (!ctx) return 0;  // a callback shut the context down
  }
  return 0;
}

}  // namespace

extern "C" {

int freenect_process_events(freenect_context *ctx) {
  TraceLine t(__func__);
  return traced(t.failures_only(), [&] { return process(ctx, kNever); });
}

int freenect_process_events_timeout(freenect_context *ctx, struct timeval *timeout) {
  TraceLine t(__func__);
  const double wait =
      timeout ? static_cast<double>(timeout->tv_sec) + timeout->tv_usec / 1e6 : kIdleSleep;
  return traced(t.failures_only(), [&] { return process(ctx, std::max(0.0, wait)); });
}

}  // extern "C"
