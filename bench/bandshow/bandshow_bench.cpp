// Benchmarks bandshow's device-thread work per depth frame with random depth
// values, running the tool's own callbacks (its source is compiled into this
// file):
//   BM_chunks_and_colour  the tool's path: 242 chunk_cb calls, then depth_cb;
//   BM_unpack_all_then_colour  the obvious alternative: unpack all 640 x 480
//     values of the packed frame, keep every second pixel of every second
//     row, then the same depth_cb.

#define main bandshow_main
#include "bandshow.cpp"
#undef main

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kSrcW = 640, kSrcH = 480;
constexpr int kSrcPixels = kSrcW * kSrcH;
constexpr int kFrameBytes = kSrcPixels * 11 / 8;  // 422400 packed bytes
constexpr int kPackets = kLastPacket + 1;

// A packed frame of random 11-bit values, most significant bit first, cut
// into the packets the driver delivers.
struct PackedFrame {
  PackedFrame() : bytes(kFrameBytes, 0) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(0, 2047);
    uint64_t bit = 0;
    for (int i = 0; i < kSrcPixels; i++, bit += 11) {
      const int d = value(rng);
      for (int b = 0; b < 11; b++)
        if (d & (1 << (10 - b))) bytes[(bit + b) / 8] |= (uint8_t)(0x80 >> ((bit + b) % 8));
    }
  }
  uint8_t *packet(int n) { return bytes.data() + kPacketBytes * n; }
  int packet_len(int n) const {
    return n < kLastPacket ? kPacketBytes : kFrameBytes - kPacketBytes * kLastPacket;
  }
  std::vector<uint8_t> bytes;
};

// Unpacks every value of a packed frame, a few bits at a time.
void unpack_all(const uint8_t *raw, uint16_t *out) {
  uint32_t acc = 0;
  int bits = 0;
  for (int i = 0; i < kSrcPixels; i++) {
    while (bits < 11) {
      acc = (acc << 8) | *raw++;
      bits += 8;
    }
    bits -= 11;
    out[i] = (uint16_t)((acc >> bits) & kDepthMask);
  }
}

void set_up_tables() {
  static bool done = false;
  if (done) return;
  fill_gamma();
  fill_colour_table();
  depth_mid = (uint8_t *)calloc(1, kImageBytes);
  depth_front = (uint8_t *)calloc(1, kImageBytes);
  done = true;
}

void BM_chunks_and_colour(benchmark::State &state) {
  set_up_tables();
  PackedFrame frame;
  std::vector<uint16_t> buffer(kFrameBytes / 2);  // the driver's frame buffer
  for (auto _ : state) {
    for (int n = 0; n < kPackets; n++)
      chunk_cb(buffer.data(), frame.packet(n), n, frame.packet_len(n), NULL);
    depth_cb(NULL, buffer.data(), 0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_chunks_and_colour)->Unit(benchmark::kMicrosecond);

void BM_unpack_all_then_colour(benchmark::State &state) {
  set_up_tables();
  PackedFrame frame;
  std::vector<uint16_t> full(kSrcPixels), half(kOutPixels);
  for (auto _ : state) {
    unpack_all(frame.bytes.data(), full.data());
    for (int r = 0; r < kOutH; r++)
      for (int c = 0; c < kOutW; c++) half[r * kOutW + c] = full[2 * r * kSrcW + 2 * c];
    depth_cb(NULL, half.data(), 0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_unpack_all_then_colour)->Unit(benchmark::kMicrosecond);

// The two stages of the tool's path on their own.
void BM_chunks_only(benchmark::State &state) {
  set_up_tables();
  PackedFrame frame;
  std::vector<uint16_t> buffer(kFrameBytes / 2);
  for (auto _ : state) {
    for (int n = 0; n < kPackets; n++)
      chunk_cb(buffer.data(), frame.packet(n), n, frame.packet_len(n), NULL);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_chunks_only)->Unit(benchmark::kMicrosecond);

void BM_colour_only(benchmark::State &state) {
  set_up_tables();
  PackedFrame frame;
  std::vector<uint16_t> buffer(kFrameBytes / 2);
  for (int n = 0; n < kPackets; n++)
    chunk_cb(buffer.data(), frame.packet(n), n, frame.packet_len(n), NULL);
  for (auto _ : state) {
    depth_cb(NULL, buffer.data(), 0);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_colour_only)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
