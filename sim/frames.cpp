#include "frames.hpp"

#include "camera.hpp"
#include "config.hpp"

namespace ksim {
namespace {

constexpr int kSignalPeriod = 320;  // samples after which all four scene signals repeat

Source scene_source() {
  Source s;
  std::vector<uint16_t> raw(kPixels);
  std::vector<uint8_t> rgb_frame(kVideoBytes);
  for (int v = 0; v < kHeight; ++v) {
    for (int u = 0; u < kWidth; ++u) {
      raw[v * kWidth + u] = depth_raw11(u, v);
      rgb(u, v, &rgb_frame[(v * kWidth + u) * 3]);
    }
  }
  s.depth.push_back(make_depth_frame(std::move(raw)));
  s.video.push_back(std::move(rgb_frame));
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
  if (replay.depth.empty()) replay.depth = std::move(scene.depth);
  if (replay.video.empty()) replay.video = std::move(scene.video);
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

const Source &source() {
  // Never destroyed: a thread of the caller's (libfreenect_sync's event
  // thread) may still deliver frames while the process runs its exit handlers.
  static const Source &s = *new Source(load_source());
  return s;
}

}  // namespace ksim
