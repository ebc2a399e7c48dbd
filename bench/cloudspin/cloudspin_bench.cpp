// Benchmarks cloudspin's own code (its source is compiled into this file):
//   BM_fill_points  the processor's work per frame outside OpenGL: the tool's
//                   fill_points over one depth frame of the simulated scene;
//   BM_DrawGLScene  one whole frame by the tool's DrawGLScene (two synchronous
//                   fetches from the simulated Kinect, 307200 points drawn),
//                   finished with glFinish; needs DISPLAY. Its CPU time counts
//                   every thread of the process (the GL's included).

#define main cloudspin_main
#include "cloudspin.cpp"
#undef main

#include <benchmark/benchmark.h>

#include <vector>

#include "scene.hpp"

namespace {

void BM_fill_points(benchmark::State &state) {
  std::vector<uint16_t> depth(kPoints);
  for (int v = 0; v < kHeight; v++)
    for (int u = 0; u < kWidth; u++) depth[v * kWidth + u] = ksim::depth_raw11(u, v);
  static int16_t xyz[kHeight][kWidth][3];
  static uint32_t indices[kHeight][kWidth];
  for (auto _ : state) {
    fill_points(depth.data(), xyz, indices);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_fill_points)->Unit(benchmark::kMicrosecond);

void BM_DrawGLScene(benchmark::State &state) {
  for (auto _ : state) {
    DrawGLScene();
    glFinish();
  }
  state.counters["fps"] =
      benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}

// The window and GL state exactly as the tool sets them up.
void open_window(int *argc, char **argv) {
  glutInit(argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
  glutInitWindowSize(kWidth, kHeight);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("LibFreenect");
  InitGL(kWidth, kHeight);
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (getenv("DISPLAY")) {
    open_window(&argc, argv);
    benchmark::RegisterBenchmark("BM_DrawGLScene", BM_DrawGLScene)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->MinTime(5.0);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  freenect_sync_stop();
  return 0;
}
