// The simulated Kinect's scene: a fixed world of a wall, a box and a ball seen
// by the depth and colour cameras, which the motor tilts together, and four
// microphone signals. A frame depends only on the tilt, so a test can predict
// any pixel or sample a tool receives.
#pragma once

#include <cstdint>

namespace ksim {

constexpr int kWidth = 640, kHeight = 480;  // pixels of every depth and video frame
constexpr int kAudioRate = 16000;           // samples per second per microphone

constexpr uint16_t kRawNoReading = 2047;      // 11-bit depth value of a pixel without a reading
constexpr uint32_t kTimestampStep = 2000000;  // timestamp ticks per frame (60 MHz at 30 Hz)
constexpr int32_t kFullScale = 2147483647;    // largest microphone sample

// The level view (tilt 0):
uint16_t depth_raw11(int u, int v);  // FREENECT_DEPTH_11BIT / 11BIT_PACKED value, 2047 = no reading
uint16_t depth_mm(int u, int v);     // FREENECT_DEPTH_MM, 0 = no reading
uint16_t depth_registered(
    int u, int v);  // FREENECT_DEPTH_REGISTERED (mm, aligned to the RGB image), 0 = none
void rgb(int u, int v, uint8_t out[3]);  // FREENECT_VIDEO_RGB pixel

// The same seen with the motor at `tilt_degs` degrees (positive looks up);
// at 0 they are the level view.
uint16_t depth_raw11_tilted(int u, int v, double tilt_degs);
uint16_t depth_mm_tilted(int u, int v, double tilt_degs);
uint16_t depth_registered_tilted(int u, int v, double tilt_degs);
void rgb_tilted(int u, int v, double tilt_degs, uint8_t out[3]);
// Whole frames at a tilt, row by row: 640 × 480 11-bit values, or RGB pixels
// of 3 bytes each.
void depth_frame_tilted(double tilt_degs, uint16_t *raw11);
void rgb_frame_tilted(double tilt_degs, uint8_t *rgb);

int32_t audio_sample(int mic, uint64_t n);  // mic 0..3, n = sample number since audio started
uint32_t frame_timestamp(uint32_t first, uint64_t frame);  // timestamp of frame number `frame`

// Millimetres of an 11-bit depth value (0 when it has no reading or lies beyond
// 10000 mm); the same conversion serves the scene and replayed recordings.
uint16_t mm_from_raw(uint16_t raw);

}  // namespace ksim
