// The simulated Kinect's scene: one fixed depth image, the colour image that
// matches it, and four microphone signals. Every frame shows the same scene, so
// a test can predict any pixel or sample a tool receives.
#pragma once

#include <cstdint>

namespace ksim {

constexpr int kWidth = 640, kHeight = 480;  // pixels of every depth and video frame
constexpr int kAudioRate = 16000;           // samples per second per microphone

constexpr uint16_t kRawNoReading = 2047;      // 11-bit depth value of a pixel without a reading
constexpr uint32_t kTimestampStep = 2000000;  // timestamp ticks per frame (60 MHz at 30 Hz)
constexpr int32_t kFullScale = 2147483647;    // largest microphone sample

uint16_t depth_raw11(int u, int v);  // FREENECT_DEPTH_11BIT / 11BIT_PACKED value, 2047 = no reading
uint16_t depth_mm(int u, int v);     // FREENECT_DEPTH_MM, 0 = no reading
uint16_t depth_registered(
    int u, int v);  // FREENECT_DEPTH_REGISTERED (mm, aligned to the RGB image), 0 = none
void rgb(int u, int v, uint8_t out[3]);     // FREENECT_VIDEO_RGB pixel
int32_t audio_sample(int mic, uint64_t n);  // mic 0..3, n = sample number since audio started
uint32_t frame_timestamp(uint32_t first, uint64_t frame);  // timestamp of frame number `frame`

// Millimetres of an 11-bit depth value (0 when it has no reading or lies beyond
// 10000 mm); the same conversion serves the scene and replayed recordings.
uint16_t mm_from_raw(uint16_t raw);

}  // namespace ksim
