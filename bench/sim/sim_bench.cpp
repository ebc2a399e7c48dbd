// What one 640 × 480 depth (11-bit) + RGB frame pair costs to deliver on the
// simulated Kinect with fast pacing, beside a memcpy of the same bytes.
#include <libfreenect.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera.hpp"
#include "scene.hpp"

namespace {

constexpr size_t kDepthBytes = 640 * 480 * 2;  // one 11-bit depth frame, 16 bits a pixel
constexpr size_t kVideoBytes = 640 * 480 * 3;  // one RGB frame
constexpr size_t kPacketsPerFrame = 242;       // depth packets of the packed stream

int frames_seen = 0;  // frames delivered to the callbacks

void on_frame(freenect_device *, void *data, uint32_t) {
  benchmark::DoNotOptimize(data);
  ++frames_seen;
}

void on_chunk(void *, void *payload, int, int, void *) {
  benchmark::DoNotOptimize(payload);
}

// Device 0 with depth and video started, the motor at `tilt` degrees;
// `chunked` adds a depth chunk callback and the packed depth mode.
struct Session {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  explicit Session(bool chunked, double tilt = 0) {
    if (freenect_init(&ctx, nullptr) < 0 || freenect_open_device(ctx, &dev, 0) < 0) std::abort();
    const freenect_depth_format fmt = chunked ? FREENECT_DEPTH_11BIT_PACKED : FREENECT_DEPTH_11BIT;
    freenect_set_depth_mode(dev, freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, fmt));
    freenect_set_video_mode(
        dev, freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB));
    freenect_set_depth_callback(dev, on_frame);
    if (chunked) freenect_set_depth_chunk_callback(dev, on_chunk);
    if (!chunked) freenect_set_video_callback(dev, on_frame);
    freenect_start_depth(dev);
    if (!chunked) freenect_start_video(dev);
    if (tilt != 0) {
      // The motor arrives at once (main sets it so); the first pair computes
      // and caches the tilted view.
      freenect_set_tilt_degs(dev, tilt);
      if (freenect_process_events(ctx) < 0) std::abort();
    }
  }
  ~Session() { freenect_shutdown(ctx); }
};

// One freenect_process_events call: with fast pacing both frames are due at once.
void BM_deliver_depth_and_rgb(benchmark::State &state) {
  Session s(false);
  for (auto _ : state) {
    if (freenect_process_events(s.ctx) < 0) std::abort();
  }
  if (frames_seen < 2 * static_cast<int>(state.iterations())) state.SkipWithError("frames missing");
  state.SetBytesProcessed(state.iterations() * (kDepthBytes + kVideoBytes));
}
BENCHMARK(BM_deliver_depth_and_rgb);

// The same with the cameras tilted up by 20 degrees: the view comes from the cache.
void BM_deliver_depth_and_rgb_at_20_degrees(benchmark::State &state) {
  Session s(false, 20);
  const int seen_before = frames_seen;
  for (auto _ : state) {
    if (freenect_process_events(s.ctx) < 0) std::abort();
  }
  if (frames_seen - seen_before < 2 * static_cast<int>(state.iterations()))
    state.SkipWithError("frames missing");
  state.SetBytesProcessed(state.iterations() * (kDepthBytes + kVideoBytes));
}
BENCHMARK(BM_deliver_depth_and_rgb_at_20_degrees);

// What a view at a new angle costs, as while the motor turns: the 11-bit
// depth, its registration and the colour image.
void BM_compute_tilted_view(benchmark::State &state) {
  std::vector<uint16_t> raw(640 * 480), registered(640 * 480);
  std::vector<uint8_t> rgb(kVideoBytes);
  double tilt = 1;
  for (auto _ : state) {
    ksim::depth_frame_tilted(tilt, raw.data());
    ksim::register_depth(raw.data(), registered.data());
    ksim::rgb_frame_tilted(tilt, rgb.data());
    benchmark::DoNotOptimize(rgb.data());
    tilt += 0.5;
  }
}
BENCHMARK(BM_compute_tilted_view)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_memcpy_depth_and_rgb(benchmark::State &state) {
  std::vector<uint8_t> depth_src(kDepthBytes, 1), video_src(kVideoBytes, 2);
  std::vector<uint8_t> depth_dst(kDepthBytes), video_dst(kVideoBytes);
  for (auto _ : state) {
    std::memcpy(depth_dst.data(), depth_src.data(), kDepthBytes);
    std::memcpy(video_dst.data(), video_src.data(), kVideoBytes);
    benchmark::DoNotOptimize(depth_dst.data());
    benchmark::DoNotOptimize(video_dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * (kDepthBytes + kVideoBytes));
}
BENCHMARK(BM_memcpy_depth_and_rgb);

// A packed depth frame through the chunk callback: 242 packets, then the frame.
void BM_deliver_depth_packets(benchmark::State &state) {
  Session s(true);
  for (auto _ : state) {
    if (freenect_process_events(s.ctx) < 0) std::abort();
  }
  state.counters["packets/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kPacketsPerFrame), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_deliver_depth_packets);

}  // namespace

int main(int argc, char **argv) {
  // The simulator reads its settings at the first driver call.
  setenv("KSIM_PACE", "fast", 1);
  setenv("KSIM_MOTOR_SPEED", "instant", 1);
  unsetenv("KSIM_TRACE");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
