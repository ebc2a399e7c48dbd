#include "modes.hpp"

#include "frames.hpp"

namespace ksim {
namespace {

constexpr int8_t kFramerate = 30;  // frames per second of every mode

struct ModeRow {
  int32_t format;  // freenect_depth_format or freenect_video_format
  int32_t bytes;
  int8_t data_bits, padding_bits;
};

constexpr ModeRow kDepthModes[] = {
    {FREENECT_DEPTH_11BIT, kDepthBytes, 11, 5},
    {FREENECT_DEPTH_11BIT_PACKED, kPackedBytes, 11, 0},
    {FREENECT_DEPTH_REGISTERED, kDepthBytes, 16, 0},
    {FREENECT_DEPTH_MM, kDepthBytes, 16, 0},
};
constexpr ModeRow kVideoModes[] = {
    {FREENECT_VIDEO_RGB, kVideoBytes, 24, 0},
};

constexpr int kDepthCount = sizeof kDepthModes / sizeof kDepthModes[0];
constexpr int kVideoCount = sizeof kVideoModes / sizeof kVideoModes[0];

freenect_frame_mode invalid(freenect_resolution res, int32_t format) {
  freenect_frame_mode m{};
  m.resolution = res;
  m.dummy = format;
  return m;
}

// `id` tells depth and video records apart in the reserved field.
freenect_frame_mode record(const ModeRow &row, uint32_t id) {
  freenect_frame_mode m{};
  m.reserved = id;
  m.resolution = FREENECT_RESOLUTION_MEDIUM;
  m.dummy = row.format;
  m.bytes = row.bytes;
  m.width = kWidth;
  m.height = kHeight;
  m.data_bits_per_pixel = row.data_bits;
  m.padding_bits_per_pixel = row.padding_bits;
  m.framerate = kFramerate;
  m.is_valid = 1;
  return m;
}

constexpr uint32_t kDepthId = 0x100, kVideoId = 0x200;

}  // namespace

freenect_frame_mode find_depth_mode(freenect_resolution res, freenect_depth_format fmt) {
  if (res == FREENECT_RESOLUTION_MEDIUM) {
    for (int i = 0; i < kDepthCount; ++i) {
      if (kDepthModes[i].format == fmt) return record(kDepthModes[i], kDepthId + i);
    }
  }
  return invalid(res, fmt);
}

freenect_frame_mode find_video_mode(freenect_resolution res, freenect_video_format fmt) {
  if (res == FREENECT_RESOLUTION_MEDIUM) {
    for (int i = 0; i < kVideoCount; ++i) {
      if (kVideoModes[i].format == fmt) return record(kVideoModes[i], kVideoId + i);
    }
  }
  return invalid(res, fmt);
}

int depth_mode_count() {
  return kDepthCount;
}
int video_mode_count() {
  return kVideoCount;
}

freenect_frame_mode depth_mode_at(int i) {
  if (i < 0 || i >= kDepthCount) return invalid(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_DUMMY);
  return record(kDepthModes[i], kDepthId + i);
}

freenect_frame_mode video_mode_at(int i) {
  if (i < 0 || i >= kVideoCount) return invalid(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_DUMMY);
  return record(kVideoModes[i], kVideoId + i);
}

}  // namespace ksim
