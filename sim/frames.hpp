// What the simulated device delivers: depth frames in every format, colour
// frames and the microphone signals, computed once (from the scene or from a
// replayed recording) so that a delivery is a copy.
#pragma once

#include <libfreenect.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene.hpp"

namespace ksim {

constexpr int kPixels = kWidth * kHeight;
constexpr size_t kDepthBytes = kPixels * 2;        // 16 bits a pixel
constexpr size_t kPackedBytes = kPixels * 11 / 8;  // 11 bits a pixel, no gaps
constexpr size_t kVideoBytes = kPixels * 3;        // R, G, B
constexpr size_t kPackedRowBytes = kWidth * 11 / 8;

// One depth picture in the four delivered formats.
struct DepthFrame {
  std::vector<uint16_t> raw11, mm, registered;
  std::vector<uint8_t> packed;
  const uint8_t *bytes(freenect_depth_format format) const;
};

// Packs 11-bit values most significant bit first: 8 values in 11 bytes.
// `count` must be a multiple of 8.
void pack_11bit(const uint16_t *values, size_t count, uint8_t *out);

// Derives millimetres, registered depth and the packed stream from 11-bit values.
DepthFrame make_depth_frame(std::vector<uint16_t> raw11);

struct Source {
  std::vector<DepthFrame> depth;              // delivered in turn, cycling
  std::vector<uint32_t> depth_timestamps;     // recorded ones; empty: computed per frame
  std::vector<std::vector<uint8_t>> video;    // RGB frames, cycling
  std::vector<uint32_t> video_timestamps;     // as for depth
  std::array<std::vector<int32_t>, 4> audio;  // each microphone's signal, repeating
  // Recorded accelerometer states, one per depth frame: the last one recorded
  // before the next depth frame. Empty: the simulated motor reports its own.
  std::vector<freenect_raw_tilt_state> tilt;
  std::string error;  // why a recording could not be loaded
  // The depth or colour frames are the scene's, which the motor's tilt turns;
  // recorded frames are delivered as recorded.
  bool depth_is_scene = true, video_is_scene = true;
};

// The scene, or the recording named by KSIM_REPLAY, loaded at the first use.
const Source &source();

// How many tilted views of each kind the caches below keep (3.2 MB an angle
// for both kinds together).
constexpr size_t kCachedAngles = 4;

// The scene's depth frame (every format) and colour frame with the motor at
// `tilt_degs`, from a cache of the angles used last; computed and cached when
// missing and `compute` is set, else null. Thread-safe.
std::shared_ptr<const DepthFrame> scene_depth_at(double tilt_degs, bool compute);
std::shared_ptr<const std::vector<uint8_t>> scene_video_at(double tilt_degs, bool compute);

// Loads a recording in the replay-directory format into `out` (frames and
// signals it lacks are left empty); false with `out->error` set on failure.
bool load_replay(const std::string &dir, Source *out);

}  // namespace ksim
