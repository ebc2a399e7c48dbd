#include "frames.hpp"

#include <deque>
#include <mutex>
#include <utility>

#include "camera.hpp"
#include "config.hpp"

namespace ksim {
namespace {

constexpr int kSignalPeriod = 320;  // samples after which all four scene signals repeat

DepthFrame make_scene_depth(double tilt_degs) {
  std::vector<uint16_t> raw(kPixels);
  depth_frame_tilted(tilt_degs, raw.data());
  return make_depth_frame(std::move(raw));
}

std::vector<uint8_t> make_scene_video(double tilt_degs) {
  std::vector<uint8_t> rgb(kVideoBytes);
  rgb_frame_tilted(tilt_degs, rgb.data());
  return rgb;
}

// The frames of the angles used last, most recent first.
template <typename Frame>
struct ViewCache {
  std::mutex lock;
  std::deque<std::pair<double, std::shared_ptr<const Frame>>> views;

  std::shared_ptr<const Frame> find(double tilt_degs) {
    for (auto it = views.begin(); it != views.end(); ++it) {
      if (it->first != tilt_degs) continue;
      std::pair<double, std::shared_ptr<const Frame>> found = std::move(*it);
      views.erase(it);
      views.push_front(std::move(found));
      return views.front().second;
    }
    return nullptr;
  }

  // Computes outside the lock: a thread reading a cached angle never waits
  // for another computing a new one.
  std::shared_ptr<const Frame> get(double tilt_degs, bool compute, Frame (*make)(double)) {
    {
      std::lock_guard<std::mutex> hold(lock);
      if (auto found = find(tilt_degs)) return found;
    }
    if (!compute) return nullptr;
    auto made = std::make_shared<const Frame>(make(tilt_degs));
    std::lock_guard<std::mutex> hold(lock);
    if (auto found = find(tilt_degs)) return found;  // another thread was quicker
    views.emplace_front(tilt_degs, made);
    if (views.size() > kCachedAngles) views.pop_back();
    return made;
  }
};

// Never destroyed, like the source.
ViewCache<DepthFrame> &depth_views = *new ViewCache<DepthFrame>;
ViewCache<std::vector<uint8_t>> &video_views = *new ViewCache<std::vector<uint8_t>>;

Source scene_source() {
  Source s;
  s.depth.push_back(make_scene_depth(0));
  s.video.push_back(make_scene_video(0));
  for (int mic = 0; mic < 4; ++mic) {
    for (int n = 0; n < kSignalPeriod; ++n) s.audio[mic].push_back(audio_sample(mic, n));
  }
  return s;
}

Source load_source() {
  Source scene = scene_source();
  const std::string &dir = config().replay_dir;
  if (dir.empty()) return scene;
  Source replay;
  if (!load_replay(dir, &replay)) return replay;
  // What the recording lacks comes from the scene.
  replay.depth_is_scene = replay.depth.empty();
  replay.video_is_scene = replay.video.empty();
  if (replay.depth_is_scene) replay.depth = std::move(scene.depth);
  if (replay.video_is_scene) replay.video = std::move(scene.video);
  if (replay.audio[0].empty()) replay.audio = std::move(scene.audio);
  return replay;
}

}  // namespace

const uint8_t *DepthFrame::bytes(freenect_depth_format format) const {
  switch (format) {
    case FREENECT_DEPTH_11BIT:
      return reinterpret_cast<const uint8_t *>(raw11.data());
    case FREENECT_DEPTH_11BIT_PACKED:
      return packed.data();
    case FREENECT_DEPTH_REGISTERED:
      return reinterpret_cast<const uint8_t *>(registered.data());
    case FREENECT_DEPTH_MM:
      return reinterpret_cast<const uint8_t *>(mm.data());
    default:
      return nullptr;
  }
}

void pack_11bit(const uint16_t *values, size_t count, uint8_t *out) {
  uint32_t bits = 0;  // bits not yet written, at most 7 + 11 of them
  int pending = 0;    // how many
  for (size_t i = 0; i < count; ++i) {
    bits = (bits << 11) | (values[i] & 0x7FF);
    pending += 11;
    while (pending >= 8) {
      pending -= 8;
      *out++ = static_cast<uint8_t>(bits >> pending);
    }
    bits &= (1u << pending) - 1;
  }
}

DepthFrame make_depth_frame(std::vector<uint16_t> raw11) {
  DepthFrame f;
  f.raw11 = std::move(raw11);
  f.mm.resize(kPixels);
  f.registered.resize(kPixels);
  for (int i = 0; i < kPixels; ++i) f.mm[i] = mm_from_raw(f.raw11[i]);
  register_depth(f.raw11.data(), f.registered.data());
  f.packed.resize(kPackedBytes);
  pack_11bit(f.raw11.data(), kPixels, f.packed.data());
  return f;
}

std::shared_ptr<const DepthFrame> scene_depth_at(double tilt_degs, bool compute) {
  return depth_views.get(tilt_degs, compute, make_scene_depth);
}

std::shared_ptr<const std::vector<uint8_t>> scene_video_at(double tilt_degs, bool compute) {
  return video_views.get(tilt_degs, compute, make_scene_video);
}

const Source &source() {
  // Never destroyed: a thread of the caller's (libfreenect_sync's event
  // thread) may still deliver frames while the process runs its exit handlers.
  static const Source &s = *new Source(load_source());
  return s;
}

}  // namespace ksim
