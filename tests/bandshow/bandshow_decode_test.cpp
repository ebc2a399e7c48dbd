// Unit tests of bandshow's device-thread callbacks, run directly: the tool's
// source is compiled into this test (its main renamed). Packed frames of
// random values check the packet decoding against values known in advance;
// bad packets and out-of-range values check that nothing is read or written
// outside the payload, the frame or the tables (this matters under ASan).

#define main bandshow_main
#include "bandshow.cpp"
#undef main

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "source_rows.hpp"

namespace {

constexpr int kSrcW = 640, kSrcH = 480;
constexpr int kFrameBytes = kSrcW * kSrcH * 11 / 8;                     // 422400
constexpr int kLastPayload = kFrameBytes - kPacketBytes * kLastPacket;  // 1132

// 640 x 480 random 11-bit values and their packed stream, MSB first.
struct Frame {
  explicit Frame(unsigned seed) : values(kSrcW * kSrcH), packed(kFrameBytes, 0) {
    std::mt19937 rng(seed);
    for (size_t i = 0; i < values.size(); i++) {
      values[i] = (uint16_t)(rng() & 0x7FF);
      for (int b = 0; b < 11; b++) {
        const size_t bit = 11 * i + b;
        if (values[i] & (0x400 >> b)) packed[bit / 8] |= (uint8_t)(0x80 >> (bit % 8));
      }
    }
  }
  // Packet n in a buffer of exactly its own length, so that ASan sees any read past it.
  std::vector<uint8_t> packet(int n) const {
    const int len = n < kLastPacket ? kPacketBytes : kLastPayload;
    return std::vector<uint8_t>(packed.begin() + kPacketBytes * n,
                                packed.begin() + kPacketBytes * n + len);
  }
  std::vector<uint16_t> values;
  std::vector<uint8_t> packed;
};

void feed(const Frame &f, std::vector<uint16_t> &buffer) {
  for (int n = 0; n <= kLastPacket; n++) {
    std::vector<uint8_t> p = f.packet(n);
    chunk_cb(buffer.data(), p.data(), n, (int)p.size(), NULL);
  }
}

struct Tables {
  Tables() {
    fill_gamma();
    fill_colour_table();
    if (!depth_mid) depth_mid = (uint8_t *)calloc(1, kImageBytes);
  }
};

std::array<int, 3> colour_at(int k) {
  return {depth_mid[3 * k], depth_mid[3 * k + 1], depth_mid[3 * k + 2]};
}

}  // namespace

TEST(BandshowDecode, packets_fill_every_output_row_from_its_source_row) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const Frame f(seed);
    std::vector<uint16_t> buffer(kFrameBytes / 2, 0xFFFF);
    feed(f, buffer);
    int wrong = 0;
    for (int r = 0; r < kOutH; r++)
      for (int c = 0; c < kOutW; c++)
        if (buffer[r * kOutW + c] != f.values[source_row(r) * kSrcW + 2 * c] && wrong++ < 5)
          ADD_FAILURE() << "seed " << seed << " row " << r << " col " << c;
    EXPECT_EQ(wrong, 0);
    // Only the first 153600 bytes of the driver's buffer are used.
    for (size_t i = kOutPixels; i < buffer.size(); i++) ASSERT_EQ(buffer[i], 0xFFFF) << i;
  }
  EXPECT_EQ(source_row(73), 147);
  EXPECT_EQ(source_row(145), 292);
}

TEST(BandshowDecode, packets_outside_the_frame_or_too_short_are_ignored) {
  const Frame f(9);
  std::vector<uint16_t> buffer(kFrameBytes / 2, 0xFFFF);
  const std::vector<uint16_t> untouched = buffer;
  std::vector<uint8_t> big(4 * kPacketBytes, 0xAB);
  for (int n : {-1, 242, 243, 1000, 1 << 30})
    chunk_cb(buffer.data(), big.data(), n, (int)big.size(), NULL);
  // Each packet one byte shorter than the row it should hold, or empty.
  for (int n = 0; n <= kLastPacket; n++) {
    std::vector<uint8_t> p = f.packet(n);
    for (int len : {0, 100, 879}) {
      std::vector<uint8_t> shorter(p.begin(), p.begin() + len);
      chunk_cb(buffer.data(), shorter.data(), n, len, NULL);
    }
  }
  // Packet 241's row ends exactly at the end of its 1132 bytes: one byte less is too short.
  std::vector<uint8_t> last = f.packet(kLastPacket);
  last.pop_back();
  chunk_cb(buffer.data(), last.data(), kLastPacket, (int)last.size(), NULL);
  EXPECT_EQ(buffer, untouched);
}

TEST(BandshowColour, table_and_band_colours) {
  Tables t;
  EXPECT_EQ(t_gamma[0], 0);
  EXPECT_EQ(t_gamma[1024], 1152);
  EXPECT_EQ(t_gamma[2047], 9202);

  EXPECT_EQ(t_gamma[621], 256);
  EXPECT_EQ(t_gamma[1127], 1535);

  struct Case {
    uint16_t depth;
    std::array<int, 3> rgb;
  };
  const Case cases[] = {
      {0, {255, 255, 255}},   // table 0: band 0, white
      {620, {255, 0, 0}},     // table 255: band 0, lb 255
      {621, {255, 0, 0}},     // table 256: band 1, lb 0
      {622, {255, 2, 0}},     // table 258: band 1, lb 2
      {1024, {0, 127, 255}},  // table 1152: band 4, lb 128
      {1127, {0, 0, 0}},      // table 1535: band 5, lb 255
      {1128, {0, 0, 0}},      // table 1539: beyond the bands
      {2047, {0, 0, 0}},      // no reading
  };
  std::vector<uint16_t> frame(kOutPixels, 2047);
  frame[kOutPixels - 1] = 0;  // the last pixel too is written in full
  for (size_t i = 0; i < std::size(cases); i++) frame[i] = cases[i].depth;
  depth_cb(NULL, frame.data(), 0);
  for (size_t i = 0; i < std::size(cases); i++)
    EXPECT_EQ(colour_at((int)i), cases[i].rgb) << "depth " << cases[i].depth;
  EXPECT_EQ(colour_at(kOutPixels - 1), (std::array<int, 3>{255, 255, 255}));
}

// A stale buffer can hold any 16-bit value; it is coloured by its 11 bits.
TEST(BandshowColour, values_beyond_eleven_bits_stay_inside_the_table) {
  Tables t;
  std::vector<uint16_t> frame(kOutPixels, 0xFFFF);
  frame[0] = 0x8000;         // 11 bits: 0, white
  frame[1] = 0x0800 | 1024;  // 11 bits: 1024
  depth_cb(NULL, frame.data(), 0);
  EXPECT_EQ(colour_at(0), (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ(colour_at(1), (std::array<int, 3>{0, 127, 255}));
  EXPECT_EQ(colour_at(2), (std::array<int, 3>{0, 0, 0}));
}
