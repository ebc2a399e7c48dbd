// Benchmarks sonoscope's in_callback (one delivery copied into the rings) and
// DrawMicData (one frame of 4 x 15360 vertices, finished by the GL), running
// the tool's own functions: its source is compiled into this file.

#define main sonoscope_main
#include "sonoscope.cpp"
#undef main

#include <benchmark/benchmark.h>

#include <vector>

#include "scene.hpp"

namespace {

// Samples of one delivery per microphone, from the simulator's signals.
struct Delivery {
  explicit Delivery(int n) {
    for (int mic = 0; mic < kMics; mic++)
      for (int i = 0; i < n; i++) samples[mic].push_back(ksim::audio_sample(mic, i));
  }
  std::vector<int32_t> samples[kMics];
};

// Copies deliveries of range(0) samples into the rings, wrapping as the tool
// does.
void BM_in_callback(benchmark::State &bench) {
  const int n = (int)bench.range(0);
  Delivery d(n);
  for (auto _ : bench) {
    in_callback(f_dev, n, d.samples[0].data(), d.samples[1].data(), d.samples[2].data(),
                d.samples[3].data(), NULL, NULL);
  }
  bench.SetItemsProcessed(bench.iterations() * n);
}
BENCHMARK(BM_in_callback)->Arg(256)->Arg(4096)->Arg(15360);

// Draws one full frame and waits until the GL has finished it.
void BM_DrawMicData(benchmark::State &bench) {
  for (auto _ : bench) {
    pthread_mutex_lock(&audiobuf_mutex);
    state.fresh = 1;
    pthread_mutex_unlock(&audiobuf_mutex);
    DrawMicData();
    glFinish();
  }
  bench.counters["fps"] =
      benchmark::Counter((double)bench.iterations(), benchmark::Counter::kIsRate);
}

// The window and GL state exactly as the tool sets them up.
void open_window(int *argc, char **argv) {
  glutInit(argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(kWindowW, kWindowH);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("Microphones");
  glClearColor(0, 0, 0, 0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  Reshape(kWindowW, kWindowH);
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (freenect_init(&f_ctx, NULL) < 0 || freenect_open_device(f_ctx, &f_dev, 0) < 0) {
    puts("no (simulated) Kinect");
    return 1;
  }
  state.ring_len = kRingLen;
  if (!alloc_buffers()) return 1;
  freenect_set_user(f_dev, &state);

  // Fill the rings so that the drawn traces span their full height.
  Delivery full(kRingLen);
  in_callback(f_dev, kRingLen, full.samples[0].data(), full.samples[1].data(),
              full.samples[2].data(), full.samples[3].data(), NULL, NULL);

  // The frame benchmark needs a display; without one only the copy is measured.
  if (getenv("DISPLAY")) {
    open_window(&argc, argv);
    benchmark::RegisterBenchmark("BM_DrawMicData", BM_DrawMicData)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(3.0);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  freenect_close_device(f_dev);
  freenect_shutdown(f_ctx);
  free_buffers();
  return 0;
}
