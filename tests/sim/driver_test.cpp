// Unit tests of the simulated driver, called directly: frames in every format
// against the scene, packets, audio, the trace and the test controls, misuse.
#include <libfreenect.h>
#include <libfreenect_audio.h>
#include <libfreenect_registration.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include "camera.hpp"
#include "harness.hpp"
#include "scene.hpp"
#include "sim_env.hpp"

namespace kt = kestrel::test;

namespace {

constexpr int kPixels = ksim::kWidth * ksim::kHeight;
constexpr size_t kPackedBytes = 422400;

// What the callbacks saw; reached through the device's user data.
struct Capture {
  std::vector<uint8_t> frame;  // the last depth or video frame, mode.bytes long
  std::vector<uint32_t> timestamps;
  void *frame_buffer = nullptr;  // where the last frame was delivered
  struct Packet {
    int number, length;
    std::vector<uint8_t> payload;
    void *buffer;
  };
  std::vector<Packet> packets;
  size_t packets_before_frame = 0;  // packets seen when the depth callback ran
  std::vector<int> audio_sizes;
  std::vector<int32_t> mics[4];
  void *switch_to = nullptr;  // a buffer the depth callback installs
  size_t bytes = 0;
};

freenect_device *g_dev = nullptr;  // the device whose callbacks run

void on_frame(freenect_device *dev, void *data, uint32_t ts) {
  auto *c = static_cast<Capture *>(freenect_get_user(dev));
  const auto *bytes = static_cast<const uint8_t *>(data);
  c->frame.assign(bytes, bytes + c->bytes);
  c->timestamps.push_back(ts);
  c->frame_buffer = data;
  c->packets_before_frame = c->packets.size();
  if (c->switch_to) freenect_set_depth_buffer(dev, c->switch_to);
}

void on_chunk(void *buffer, void *payload, int number, int length, void *user) {
  auto *c = static_cast<Capture *>(user);
  const auto *bytes = static_cast<const uint8_t *>(payload);
  c->packets.push_back({number, length, std::vector<uint8_t>(bytes, bytes + length), buffer});
}

void on_audio(freenect_device *dev, int n, int32_t *m1, int32_t *m2, int32_t *m3, int32_t *m4,
              int16_t *, void *) {
  auto *c = static_cast<Capture *>(freenect_get_user(dev));
  c->audio_sizes.push_back(n);
  int32_t *mics[] = {m1, m2, m3, m4};
  for (int m = 0; m < 4; ++m) c->mics[m].insert(c->mics[m].end(), mics[m], mics[m] + n);
}

// A context with device 0 open, shut down at the end.
struct Kinect {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  Capture capture;
  explicit Kinect(int subdevices = FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA |
                                   FREENECT_DEVICE_AUDIO) {
    EXPECT_EQ(freenect_init(&ctx, nullptr), 0);
    freenect_select_subdevices(ctx, static_cast<freenect_device_flags>(subdevices));
    EXPECT_EQ(freenect_open_device(ctx, &dev, 0), 0);
    freenect_set_user(dev, &capture);
    g_dev = dev;
  }
  ~Kinect() {
    if (ctx) freenect_shutdown(ctx);
  }
  void start_depth(freenect_depth_format fmt) {
    const freenect_frame_mode mode = freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, fmt);
    ASSERT_TRUE(mode.is_valid);
    ASSERT_EQ(freenect_set_depth_mode(dev, mode), 0);
    capture.bytes = mode.bytes;
    freenect_set_depth_callback(dev, on_frame);
    ASSERT_EQ(freenect_start_depth(dev), 0);
  }
  // Pumps until `frames` more frames arrived (or a call fails).
  void pump_frames(size_t frames) {
    const size_t goal = capture.timestamps.size() + frames;
    for (int i = 0; i < 1000 && capture.timestamps.size() < goal; ++i)
      ASSERT_EQ(freenect_process_events(ctx), 0);
    ASSERT_EQ(capture.timestamps.size(), goal);
  }
};

// Reads pixel i of a packed 11-bit stream bit by bit, most significant first.
uint16_t unpack(const std::vector<uint8_t> &stream, size_t i) {
  uint16_t v = 0;
  for (size_t bit = i * 11; bit < i * 11 + 11; ++bit)
    v = static_cast<uint16_t>((v << 1) | ((stream[bit / 8] >> (7 - bit % 8)) & 1));
  return v;
}

uint16_t sample16(const std::vector<uint8_t> &frame, int i) {
  uint16_t v;
  std::memcpy(&v, &frame[i * 2], 2);
  return v;
}

// Counts the pixels of a 16-bit frame that differ from `expected`.
template <typename Expected>
int mismatches16(const std::vector<uint8_t> &frame, Expected expected) {
  int bad = 0;
  for (int i = 0; i < kPixels; ++i)
    bad += sample16(frame, i) != expected(i % ksim::kWidth, i / ksim::kWidth);
  return bad;
}

}  // namespace

TEST(Frames, every_depth_format_and_video_match_the_scene) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}});
  Kinect k;
  k.start_depth(FREENECT_DEPTH_11BIT);
  k.pump_frames(1);
  EXPECT_EQ(k.capture.frame.size(), 614400u);
  EXPECT_EQ(mismatches16(k.capture.frame, ksim::depth_raw11), 0);

  const struct {
    freenect_depth_format fmt;
    uint16_t (*expected)(int, int);
  } unpacked[] = {{FREENECT_DEPTH_MM, ksim::depth_mm},
                  {FREENECT_DEPTH_REGISTERED, ksim::depth_registered}};
  for (const auto &c : unpacked) {
    ASSERT_EQ(freenect_stop_depth(k.dev), 0);
    k.start_depth(c.fmt);
    k.pump_frames(1);
    EXPECT_EQ(mismatches16(k.capture.frame, c.expected), 0) << "format " << c.fmt;
  }

  ASSERT_EQ(freenect_stop_depth(k.dev), 0);
  k.start_depth(FREENECT_DEPTH_11BIT_PACKED);
  k.pump_frames(1);
  ASSERT_EQ(k.capture.frame.size(), kPackedBytes);
  int bad = 0;
  for (int i = 0; i < kPixels; ++i)
    bad += unpack(k.capture.frame, i) != ksim::depth_raw11(i % ksim::kWidth, i / ksim::kWidth);
  EXPECT_EQ(bad, 0);

  ASSERT_EQ(freenect_stop_depth(k.dev), 0);
  const freenect_frame_mode video =
      freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  ASSERT_EQ(freenect_set_video_mode(k.dev, video), 0);
  k.capture.bytes = video.bytes;
  freenect_set_video_callback(k.dev, on_frame);
  ASSERT_EQ(freenect_start_video(k.dev), 0);
  k.pump_frames(1);
  ASSERT_EQ(k.capture.frame.size(), 921600u);
  bad = 0;
  for (int i = 0; i < kPixels; ++i) {
    uint8_t px[3];
    ksim::rgb(i % ksim::kWidth, i / ksim::kWidth, px);
    bad += std::memcmp(px, &k.capture.frame[i * 3], 3) != 0;
  }
  EXPECT_EQ(bad, 0);
}

TEST(Frames, mode_records_describe_supported_modes_only) {
  KSIM_USE_ENV({});
  const struct {
    freenect_depth_format fmt;
    int bytes, data_bits, padding_bits;
  } rows[] = {{FREENECT_DEPTH_11BIT, 614400, 11, 5},
              {FREENECT_DEPTH_11BIT_PACKED, 422400, 11, 0},
              {FREENECT_DEPTH_REGISTERED, 614400, 16, 0},
              {FREENECT_DEPTH_MM, 614400, 16, 0}};
  for (const auto &r : rows) {
    const freenect_frame_mode m = freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, r.fmt);
    EXPECT_TRUE(m.is_valid);
    EXPECT_EQ(m.bytes, r.bytes);
    EXPECT_EQ(m.width, 640);
    EXPECT_EQ(m.height, 480);
    EXPECT_EQ(m.data_bits_per_pixel, r.data_bits);
    EXPECT_EQ(m.padding_bits_per_pixel, r.padding_bits);
    EXPECT_EQ(m.framerate, 30);
  }
  const freenect_frame_mode rgb =
      freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  EXPECT_TRUE(rgb.is_valid);
  EXPECT_EQ(rgb.bytes, 921600);
  EXPECT_EQ(rgb.data_bits_per_pixel, 24);
  EXPECT_FALSE(freenect_find_depth_mode(FREENECT_RESOLUTION_HIGH, FREENECT_DEPTH_11BIT).is_valid);
  EXPECT_FALSE(freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_10BIT).is_valid);
  EXPECT_FALSE(freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_BAYER).is_valid);

  Kinect k;
  EXPECT_EQ(freenect_set_depth_mode(
                k.dev, freenect_find_depth_mode(FREENECT_RESOLUTION_LOW, FREENECT_DEPTH_MM)),
            -1);
  k.start_depth(FREENECT_DEPTH_MM);
  // No mode change while the stream runs.
  EXPECT_EQ(freenect_set_depth_mode(
                k.dev, freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_11BIT)),
            -1);
  EXPECT_EQ(freenect_get_current_depth_mode(k.dev).depth_format, FREENECT_DEPTH_MM);
}

TEST(Frames, timestamps_start_at_the_given_value_and_wrap) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_FIRST_TIMESTAMP", "4294967000"}});
  Kinect k;
  k.start_depth(FREENECT_DEPTH_11BIT);
  k.pump_frames(3);
  EXPECT_EQ(k.capture.timestamps, (std::vector<uint32_t>{4294967000u, 1999704u, 3999704u}));
}

TEST(Frames, a_buffer_set_inside_the_callback_gets_the_next_frame) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}});
  Kinect k;
  std::vector<uint16_t> first(kPixels, 0xFFFF), second(kPixels, 0xFFFF);
  ASSERT_EQ(freenect_set_depth_buffer(k.dev, first.data()), 0);
  k.capture.switch_to = second.data();
  k.start_depth(FREENECT_DEPTH_11BIT);
  k.pump_frames(1);
  EXPECT_EQ(k.capture.frame_buffer, first.data());
  EXPECT_EQ(first[100], ksim::depth_raw11(100, 0));
  EXPECT_EQ(second[100], 0xFFFF);
  k.pump_frames(1);
  EXPECT_EQ(k.capture.frame_buffer, second.data());
  EXPECT_EQ(second[100], ksim::depth_raw11(100, 0));
}

TEST(Packets, chunk_callback_gets_the_packed_stream_in_242_packets) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}});
  Kinect k;
  std::vector<uint8_t> buffer(kPackedBytes, 0xAB);
  ASSERT_EQ(freenect_set_depth_buffer(k.dev, buffer.data()), 0);
  freenect_set_depth_chunk_callback(k.dev, on_chunk);
  k.start_depth(FREENECT_DEPTH_11BIT_PACKED);
  k.pump_frames(1);

  const auto &packets = k.capture.packets;
  ASSERT_EQ(packets.size(), 242u);
  EXPECT_EQ(k.capture.packets_before_frame, 242u);
  std::vector<uint8_t> stream;
  for (int n = 0; n < 242; ++n) {
    EXPECT_EQ(packets[n].number, n);
    EXPECT_EQ(packets[n].length, n == 241 ? 1132 : 1748);
    EXPECT_EQ(packets[n].buffer, buffer.data());
    stream.insert(stream.end(), packets[n].payload.begin(), packets[n].payload.end());
  }
  ASSERT_EQ(stream.size(), kPackedBytes);
  int bad = 0;
  for (int i = 0; i < kPixels; ++i)
    bad += unpack(stream, i) != ksim::depth_raw11(i % ksim::kWidth, i / ksim::kWidth);
  EXPECT_EQ(bad, 0);
  // The frame buffer is the chunk callback's to fill: the library leaves it alone.
  EXPECT_EQ(k.capture.frame_buffer, buffer.data());
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAB), static_cast<long>(kPackedBytes));

  // Video packets carry the RGB bytes the same way.
  k.capture.packets.clear();
  freenect_set_video_chunk_callback(k.dev, on_chunk);
  freenect_set_video_callback(k.dev, on_frame);
  k.capture.bytes = 921600;
  ASSERT_EQ(freenect_stop_depth(k.dev), 0);
  ASSERT_EQ(freenect_start_video(k.dev), 0);
  k.pump_frames(1);
  ASSERT_EQ(k.capture.packets.size(), 484u);
  EXPECT_EQ(k.capture.packets.back().length, 36);
  uint8_t px[3];
  ksim::rgb(636, 0, px);  // the first pixel of packet 1: byte 1908 is pixel 636's red
  EXPECT_EQ(k.capture.packets[1].payload[0], px[0]);
}

TEST(Packets, fault_mode_adds_the_documented_bad_packets_after_the_good_ones) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_FAULT", "packets"}});
  Kinect k;
  freenect_set_depth_chunk_callback(k.dev, on_chunk);
  k.start_depth(FREENECT_DEPTH_11BIT_PACKED);
  k.pump_frames(2);

  const auto &packets = k.capture.packets;
  ASSERT_EQ(packets.size(), 2 * 248u);
  const std::pair<int, int> bad[] = {{242, 1748}, {1000, 1748}, {2147483647, 1748},
                                     {10, 100},   {100, 0},     {241, 1000}};
  for (int frame = 0; frame < 2; ++frame) {
    for (int i = 0; i < 6; ++i) {
      const auto &p = packets[frame * 248 + 242 + i];
      EXPECT_EQ(p.number, bad[i].first);
      EXPECT_EQ(p.length, bad[i].second);
    }
  }
  // A short payload is the start of the packet it claims to be.
  EXPECT_TRUE(std::equal(packets[245].payload.begin(), packets[245].payload.end(),
                         packets[10].payload.begin()));
  EXPECT_EQ(k.capture.packets_before_frame, 2 * 248u);
}

TEST(Audio, deliveries_cycle_through_the_sizes_and_carry_the_signals) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_AUDIO_SAMPLES", "100,37"}});
  Kinect k;
  freenect_set_audio_in_callback(k.dev, on_audio);
  ASSERT_EQ(freenect_start_audio(k.dev), 0);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(freenect_process_events(k.ctx), 0);

  EXPECT_EQ(k.capture.audio_sizes, (std::vector<int>{100, 37, 100, 37, 100, 37, 100, 37}));
  for (int m = 0; m < 4; ++m) {
    ASSERT_EQ(k.capture.mics[m].size(), 548u);
    for (uint64_t n = 0; n < 548; ++n)
      ASSERT_EQ(k.capture.mics[m][n], ksim::audio_sample(m, n)) << m << " " << n;
  }
  EXPECT_EQ(ksim::audio_sample(0, 40), 2147483647);
  EXPECT_EQ(ksim::audio_sample(0, 120), -2147483647);
  // Stopping and restarting begins the signal again.
  ASSERT_EQ(freenect_stop_audio(k.dev), 0);
  ASSERT_EQ(freenect_start_audio(k.dev), 0);
  ASSERT_EQ(freenect_process_events(k.ctx), 0);
  EXPECT_EQ(k.capture.mics[1][548], ksim::audio_sample(1, 0));
}

TEST(Controls, trace_records_calls_results_and_deliveries) {
  kt::TempDir dir;
  const std::string path = dir.file("trace");
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_TRACE", path}, {"KSIM_END_AFTER", "1"}});
  {
    Kinect k(FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA);
    freenect_set_tilt_degs(k.dev, 45.5);
    freenect_set_led(k.dev, LED_RED);
    k.start_depth(FREENECT_DEPTH_MM);
    k.pump_frames(1);
    EXPECT_EQ(freenect_process_events(k.ctx), -1);
    EXPECT_EQ(freenect_stop_video(k.dev), -1);
  }
  std::vector<std::string> lines;
  for (const auto &c : kt::read_trace(path)) {
    std::string line = c.name;
    for (const auto &a : c.args) line += " " + a;
    if (!c.result.empty()) line += " = " + c.result;
    lines.push_back(line);
  }
  const std::vector<std::string> expected = {
      "freenect_init = 0",
      "freenect_select_subdevices 3",
      "freenect_open_device 0 = 0",
      "freenect_set_user",
      "freenect_set_tilt_degs 45.5 = 0",
      "freenect_set_led 2 = 0",
      "freenect_find_depth_mode 1 5 = 1",
      "freenect_set_depth_mode 1 5 = 0",
      "freenect_set_depth_callback set",
      "freenect_start_depth = 0",
      "@depth 0",
      "freenect_get_user = set",
      "freenect_process_events = -1",
      "freenect_stop_video = -1",
      "freenect_shutdown = 0",
  };
  EXPECT_EQ(lines, expected);
}

TEST(Controls, injected_failures_hit_the_nth_and_later_calls_only) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"},
                {"KSIM_FAIL",
                 "freenect_num_devices=7,freenect_open_device@2=-5,freenect_process_events@3,"
                 "freenect_set_led"}});
  freenect_context *ctx = nullptr;
  ASSERT_EQ(freenect_init(&ctx, nullptr), 0);
  EXPECT_EQ(freenect_num_devices(ctx), 7);
  freenect_device *dev = nullptr, *other = nullptr;
  ASSERT_EQ(freenect_open_device(ctx, &dev, 0), 0);
  EXPECT_EQ(freenect_open_device(ctx, &other, 0), -5);
  EXPECT_EQ(other, nullptr);  // a failed call does nothing else
  EXPECT_EQ(freenect_set_led(dev, LED_GREEN), -1);
  EXPECT_EQ(freenect_process_events(ctx), 0);
  EXPECT_EQ(freenect_process_events(ctx), 0);
  EXPECT_EQ(freenect_process_events(ctx), -1);
  EXPECT_EQ(freenect_process_events(ctx), -1);
  EXPECT_EQ(freenect_set_tilt_degs(dev, 10), 0);  // other functions are untouched
  EXPECT_EQ(freenect_shutdown(ctx), 0);
}

// Each entry point with an int result takes the KSIM_FAIL rule of its own
// name (and no other), and the trace records it under that name.
TEST(Controls, every_int_entry_point_takes_the_failure_injected_under_its_name) {
  struct Entry {
    const char *name;
    std::function<int()> call;  // with harmless arguments: the rule answers first
  };
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  freenect_device_attributes *list = nullptr;
  freenect_registration reg{};
  timeval timeout{0, 0};
  const freenect_frame_mode mode{};
  const Entry entries[] = {
      {"freenect_init", [&] { return freenect_init(&ctx, nullptr); }},
      {"freenect_shutdown", [&] { return freenect_shutdown(ctx); }},
      {"freenect_num_devices", [&] { return freenect_num_devices(ctx); }},
      {"freenect_list_device_attributes",
       [&] { return freenect_list_device_attributes(ctx, &list); }},
      {"freenect_supported_subdevices", [] { return freenect_supported_subdevices(); }},
      {"freenect_open_device", [&] { return freenect_open_device(ctx, &dev, 0); }},
      {"freenect_open_device_by_camera_serial",
       [&] { return freenect_open_device_by_camera_serial(ctx, &dev, "KSIM00000000"); }},
      {"freenect_close_device", [&] { return freenect_close_device(dev); }},
      {"freenect_update_tilt_state", [&] { return freenect_update_tilt_state(dev); }},
      {"freenect_set_tilt_degs", [&] { return freenect_set_tilt_degs(dev, 1); }},
      {"freenect_set_led", [&] { return freenect_set_led(dev, LED_GREEN); }},
      {"freenect_set_flag",
       [&] { return freenect_set_flag(dev, FREENECT_AUTO_EXPOSURE, FREENECT_ON); }},
      {"freenect_get_ir_brightness", [&] { return freenect_get_ir_brightness(dev); }},
      {"freenect_set_ir_brightness", [&] { return freenect_set_ir_brightness(dev, 5); }},
      {"freenect_destroy_registration", [&] { return freenect_destroy_registration(&reg); }},
      {"freenect_get_video_mode_count", [] { return freenect_get_video_mode_count(); }},
      {"freenect_set_video_mode", [&] { return freenect_set_video_mode(dev, mode); }},
      {"freenect_get_depth_mode_count", [] { return freenect_get_depth_mode_count(); }},
      {"freenect_set_depth_mode", [&] { return freenect_set_depth_mode(dev, mode); }},
      {"freenect_set_depth_buffer", [&] { return freenect_set_depth_buffer(dev, nullptr); }},
      {"freenect_set_video_buffer", [&] { return freenect_set_video_buffer(dev, nullptr); }},
      {"freenect_start_depth", [&] { return freenect_start_depth(dev); }},
      {"freenect_start_video", [&] { return freenect_start_video(dev); }},
      {"freenect_start_audio", [&] { return freenect_start_audio(dev); }},
      {"freenect_stop_depth", [&] { return freenect_stop_depth(dev); }},
      {"freenect_stop_video", [&] { return freenect_stop_video(dev); }},
      {"freenect_stop_audio", [&] { return freenect_stop_audio(dev); }},
      {"freenect_process_events", [&] { return freenect_process_events(ctx); }},
      {"freenect_process_events_timeout",
       [&] { return freenect_process_events_timeout(ctx, &timeout); }},
  };
  std::string rules;
  for (size_t i = 0; i < std::size(entries); i++)
    rules += std::string(i ? "," : "") + entries[i].name + "=-" + std::to_string(100 + i);
  kt::TempDir dir;
  KSIM_USE_ENV({{"KSIM_FAIL", rules}, {"KSIM_TRACE", dir.file("trace")}});

  std::vector<std::string> want;
  for (size_t i = 0; i < std::size(entries); i++) {
    const int value = -(int)(100 + i);
    EXPECT_EQ(entries[i].call(), value) << entries[i].name;
    want.push_back(std::string(entries[i].name) + " = " + std::to_string(value));
  }
  std::vector<std::string> got;
  for (const kt::TraceCall &call : kt::read_trace(dir.file("trace")))
    got.push_back(call.name + " = " + call.result);
  EXPECT_EQ(got, want);
}

TEST(Controls, end_after_stops_each_stream_at_n_then_every_call_fails) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "3"}});
  Kinect k;
  k.start_depth(FREENECT_DEPTH_11BIT);
  freenect_set_audio_in_callback(k.dev, on_audio);
  ASSERT_EQ(freenect_start_audio(k.dev), 0);
  int calls = 0;
  while (freenect_process_events(k.ctx) == 0) ASSERT_LT(++calls, 100);
  EXPECT_EQ(k.capture.timestamps.size(), 3u);
  EXPECT_EQ(k.capture.audio_sizes.size(), 3u);
  EXPECT_EQ(freenect_process_events(k.ctx), -1);
}

TEST(Controls, no_device_attached) {
  KSIM_USE_ENV({{"KSIM_DEVICES", "0"}});
  freenect_context *ctx = nullptr;
  ASSERT_EQ(freenect_init(&ctx, nullptr), 0);
  EXPECT_EQ(freenect_num_devices(ctx), 0);
  freenect_device *dev = nullptr;
  EXPECT_EQ(freenect_open_device(ctx, &dev, 0), -1);
  EXPECT_EQ(freenect_shutdown(ctx), 0);
}

TEST(Misuse, bad_handles_and_arguments_give_errors) {
  KSIM_USE_ENV({{"KSIM_DEVICES", "2"}});
  EXPECT_EQ(freenect_init(nullptr, nullptr), -1);
  EXPECT_EQ(freenect_num_devices(nullptr), -1);
  EXPECT_EQ(freenect_process_events(nullptr), -1);
  EXPECT_EQ(freenect_shutdown(nullptr), -1);
  EXPECT_EQ(freenect_set_led(nullptr, LED_RED), -1);
  EXPECT_EQ(freenect_get_tilt_state(nullptr), nullptr);
  EXPECT_EQ(freenect_get_user(nullptr), nullptr);
  freenect_get_mks_accel(nullptr, nullptr, nullptr, nullptr);

  Kinect k;
  freenect_device *dev = nullptr;
  EXPECT_EQ(freenect_open_device(k.ctx, &dev, 2), -1);  // beyond the devices present
  EXPECT_EQ(freenect_open_device(k.ctx, &dev, -1), -1);
  EXPECT_EQ(freenect_open_device(k.ctx, &dev, 0), -1);  // already open
  EXPECT_EQ(freenect_open_device(k.ctx, nullptr, 1), -1);
  EXPECT_EQ(freenect_stop_depth(k.dev), -1);  // never started
  EXPECT_EQ(freenect_stop_audio(k.dev), -1);
  EXPECT_EQ(freenect_set_led(k.dev, static_cast<freenect_led_options>(7)), -1);
  EXPECT_EQ(freenect_set_tilt_degs(k.dev, NAN), -1);
  EXPECT_EQ(freenect_start_depth(k.dev), 0);
  EXPECT_EQ(freenect_start_depth(k.dev), -1);  // already running

  ASSERT_EQ(freenect_open_device(k.ctx, &dev, 1), 0);
  ASSERT_EQ(freenect_close_device(dev), 0);
  // The closed handle is refused, never followed.
  EXPECT_EQ(freenect_close_device(dev), -1);
  EXPECT_EQ(freenect_start_video(dev), -1);
  EXPECT_EQ(freenect_set_led(dev, LED_RED), -1);
  EXPECT_EQ(freenect_set_depth_buffer(dev, nullptr), -1);
  EXPECT_EQ(freenect_get_tilt_state(dev), nullptr);
  freenect_set_depth_callback(dev, on_frame);
}

TEST(Motor, tilt_is_clamped_and_the_accelerometer_follows_it) {
  KSIM_USE_ENV({{"KSIM_MOTOR_SPEED", "instant"}});
  Kinect k;
  const freenect_raw_tilt_state *level = freenect_get_tilt_state(k.dev);
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->accelerometer_y, 819);

  const struct {
    double request, reached;
    freenect_tilt_status_code status;
  } cases[] = {{20, 20, TILT_STATUS_STOPPED},
               {-12.5, -12.5, TILT_STATUS_STOPPED},
               {45, 31, TILT_STATUS_LIMIT},
               {-90, -31, TILT_STATUS_LIMIT}};
  for (const auto &c : cases) {
    ASSERT_EQ(freenect_set_tilt_degs(k.dev, c.request), 0);
    ASSERT_EQ(freenect_update_tilt_state(k.dev), 0);
    freenect_raw_tilt_state *s = freenect_get_tilt_state(k.dev);
    const double a = c.reached * M_PI / 180;
    EXPECT_EQ(freenect_get_tilt_degs(s), c.reached);
    EXPECT_EQ(freenect_get_tilt_status(s), c.status);
    EXPECT_EQ(s->accelerometer_x, 0);
    EXPECT_EQ(s->accelerometer_y, std::lround(819 * std::cos(a)));
    EXPECT_EQ(s->accelerometer_z, std::lround(819 * std::sin(a)));
    double x, y, z;
    freenect_get_mks_accel(s, &x, &y, &z);
    EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 9.81, 0.02) << c.request;
  }
}

namespace {

// Reads the motor's state: its status and, from the accelerometer (finer than
// the half degrees of tilt_angle), its angle in degrees.
freenect_tilt_status_code read_motor(freenect_device *dev, double *degrees) {
  EXPECT_EQ(freenect_update_tilt_state(dev), 0);
  freenect_raw_tilt_state *s = freenect_get_tilt_state(dev);
  *degrees = std::asin(s->accelerometer_z / 819.0) * 180 / M_PI;
  return freenect_get_tilt_status(s);
}

// Waits until the motor stops moving; the seconds that took.
double wait_for_motor(freenect_device *dev) {
  const auto start = std::chrono::steady_clock::now();
  double degrees;
  for (int i = 0; i < 500 && read_motor(dev, &degrees) == TILT_STATUS_MOVING; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The middle row of the box in column 320 of an 11-bit frame: the first run
// of rows from the top nearer than the wall around the box (the wall comes as
// near further down).
double box_row(const std::vector<uint8_t> &frame) {
  int top = 0;
  while (top < ksim::kHeight && sample16(frame, top * ksim::kWidth + 320) > 680) ++top;
  int bottom = top;
  while (bottom + 1 < ksim::kHeight && sample16(frame, (bottom + 1) * ksim::kWidth + 320) <= 680)
    ++bottom;
  return (top + bottom) / 2.0;
}

// Where the model puts the box's middle row with the cameras tilted up by `degrees`.
double model_box_row(double degrees) {
  const double a = degrees * M_PI / 180, y0 = (242.7 - 239.5) / 591.04;
  return 242.7 - 591.04 * (y0 * std::cos(a) - std::sin(a)) / (y0 * std::sin(a) + std::cos(a));
}

}  // namespace

// At 10 degrees a second the motor takes 2 s from 0 to 20, reporting
// that it moves meanwhile; a frame taken on the way shows an angle between
// the readings around it, the frames after it stopped the scene at 20 (the
// colour frames at an angle: tests/service/tilt_view_test.cpp).
TEST(Motor, the_motor_turns_at_its_speed_and_the_view_follows) {
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_MOTOR_SPEED", "10"}});
  Kinect k;
  k.start_depth(FREENECT_DEPTH_11BIT);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(freenect_set_tilt_degs(k.dev, 20), 0);
  double before, after;
  EXPECT_EQ(read_motor(k.dev, &before), TILT_STATUS_MOVING);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  read_motor(k.dev, &before);
  k.pump_frames(1);
  EXPECT_EQ(read_motor(k.dev, &after), TILT_STATUS_MOVING);
  EXPECT_GT(before, 1);
  EXPECT_LT(after, 19.5);
  const double row = box_row(k.capture.frame);
  EXPECT_GE(row, model_box_row(before) - 3);
  EXPECT_LE(row, model_box_row(after) + 3);

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() +
      wait_for_motor(k.dev);
  EXPECT_GE(seconds, 1.95);
  EXPECT_LT(seconds, 6);
  freenect_raw_tilt_state *s = freenect_get_tilt_state(k.dev);
  EXPECT_EQ(freenect_get_tilt_status(s), TILT_STATUS_STOPPED);
  EXPECT_EQ(freenect_get_tilt_degs(s), 20);
  k.pump_frames(1);
  EXPECT_EQ(mismatches16(k.capture.frame,
                         [](int u, int v) { return ksim::depth_raw11_tilted(u, v, 20); }),
            0);

  // Beyond its range the motor stops at the limit and says so.
  ASSERT_EQ(freenect_set_tilt_degs(k.dev, 45), 0);
  wait_for_motor(k.dev);
  s = freenect_get_tilt_state(k.dev);
  EXPECT_EQ(freenect_get_tilt_status(s), TILT_STATUS_LIMIT);
  EXPECT_EQ(freenect_get_tilt_degs(s), 31);
  // A new request turns it on from where it is, not from where it was going.
  ASSERT_EQ(freenect_set_tilt_degs(k.dev, 0), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(freenect_set_tilt_degs(k.dev, 31), 0);
  EXPECT_EQ(read_motor(k.dev, &after), TILT_STATUS_MOVING);
  EXPECT_GT(after, 15);
  EXPECT_LT(wait_for_motor(k.dev), 1.5);  // from 0 it would take 3.1 s
}

TEST(Motor, subdevices_not_selected_refuse_their_calls) {
  KSIM_USE_ENV({});
  Kinect camera_only(FREENECT_DEVICE_CAMERA);
  EXPECT_EQ(freenect_set_led(camera_only.dev, LED_RED), -1);
  EXPECT_EQ(freenect_set_tilt_degs(camera_only.dev, 5), -1);
  EXPECT_EQ(freenect_start_audio(camera_only.dev), -1);
  EXPECT_EQ(freenect_start_depth(camera_only.dev), 0);
  EXPECT_EQ(freenect_enabled_subdevices(camera_only.ctx), FREENECT_DEVICE_CAMERA);

  Kinect audio_only(FREENECT_DEVICE_AUDIO);
  EXPECT_EQ(freenect_start_depth(audio_only.dev), -1);
  EXPECT_EQ(freenect_start_video(audio_only.dev), -1);
  EXPECT_EQ(freenect_start_audio(audio_only.dev), 0);
}

TEST(Pacing, realtime_delivers_thirty_frames_a_second) {
  KSIM_USE_ENV({});
  Kinect k;
  k.start_depth(FREENECT_DEPTH_11BIT);
  const auto start = std::chrono::steady_clock::now();
  k.pump_frames(6);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.19);                           // frame 5 is due 6/30 s after the start
  EXPECT_GE(k.capture.timestamps.back(), 10000000u);  // more if a slow machine skipped frames
}

namespace {

// Writes a file of `bytes` into `dir`.
void write_file(const kt::TempDir &dir, const std::string &name, const std::string &bytes) {
  std::FILE *f = std::fopen(dir.file(name).c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A depth frame of one value everywhere, as a replay PGM (little-endian samples).
std::string depth_pgm(uint16_t value) {
  std::string bytes = "P5 640 480 65535\n";
  for (int i = 0; i < kPixels; ++i)
    bytes += {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
  return bytes;
}

}  // namespace

TEST(Replay, recorded_frames_timestamps_and_audio_are_delivered_in_turn) {
  kt::TempDir dir;
  write_file(dir, "INDEX.txt", "d-1.5-1000.pgm\nr-1.5-1001.ppm\nd-1.53-3000.pgm\na-1.6-0.dump\n\n");
  write_file(dir, "d-1.5-1000.pgm", depth_pgm(600));
  write_file(dir, "d-1.53-3000.pgm", depth_pgm(5000));  // beyond 11 bits: no reading
  write_file(dir, "r-1.5-1001.ppm", "P6 640 480 255\n" + std::string(921600, '\x7f'));
  std::string audio;
  for (int32_t n = 0; n < 10; ++n) {
    for (int32_t m = 0; m < 4; ++m) {
      const int32_t v = -(n * 10 + m);
      audio.append(reinterpret_cast<const char *>(&v), 4);
    }
  }
  write_file(dir, "a-1.6-0.dump", audio);
  KSIM_USE_ENV({{"KSIM_PACE", "fast"}, {"KSIM_REPLAY", dir.path}, {"KSIM_AUDIO_SAMPLES", "15"}});

  Kinect k;
  k.start_depth(FREENECT_DEPTH_MM);
  freenect_set_audio_in_callback(k.dev, on_audio);
  ASSERT_EQ(freenect_start_audio(k.dev), 0);
  k.pump_frames(1);
  EXPECT_EQ(sample16(k.capture.frame, 0), ksim::mm_from_raw(600));
  k.pump_frames(2);
  EXPECT_EQ(sample16(k.capture.frame, 0), ksim::mm_from_raw(600));  // the recording repeats
  EXPECT_EQ(k.capture.timestamps, (std::vector<uint32_t>{1000, 3000, 1000}));
  ASSERT_EQ(freenect_stop_depth(k.dev), 0);
  k.start_depth(FREENECT_DEPTH_11BIT);
  k.pump_frames(2);
  EXPECT_EQ(sample16(k.capture.frame, 12345), 2047);
  ASSERT_GE(k.capture.mics[3].size(), 15u);
  EXPECT_EQ(k.capture.mics[3][0], -3);
  EXPECT_EQ(k.capture.mics[3][14], -43);  // sample 4 of the second round
}

TEST(Replay, a_malformed_recording_makes_init_fail) {
  kt::TempDir dir;
  write_file(dir, "INDEX.txt", "d-1.5-1000.pgm\n");
  write_file(dir, "d-1.5-1000.pgm", "P5 320 240 65535\n");
  KSIM_USE_ENV({{"KSIM_REPLAY", dir.path}});
  freenect_context *ctx = nullptr;
  EXPECT_EQ(freenect_init(&ctx, nullptr), -1);
  EXPECT_EQ(ctx, nullptr);
}

TEST(Scene, colour_image_and_registered_depth_line_up_with_the_depth_image) {
  // Mapping a depth pixel into the colour image and back lands on it again.
  for (int v = 0; v < ksim::kHeight; v += 37) {
    for (int u = 0; u < ksim::kWidth; u += 41) {
      const double w = ksim::inverse_metres(ksim::depth_raw11(u, v));
      double s, t, bu, bv;
      ksim::depth_to_colour(u, v, w, &s, &t);
      ksim::colour_to_depth(s, t, w, &bu, &bv);
      EXPECT_NEAR(bu, u, 1e-6);
      EXPECT_NEAR(bv, v, 1e-6);
    }
  }
  // Where the registered depth is the box's distance the colour image shows
  // the box, and the other way round, but for a rim of rounding.
  const uint16_t box_mm = ksim::depth_mm(300, 240);
  int box_colour = 0, box_depth = 0, both = 0;
  for (int v = 0; v < ksim::kHeight; ++v) {
    for (int u = 0; u < ksim::kWidth; ++u) {
      uint8_t c[3];
      ksim::rgb(u, v, c);
      const bool red = c[0] == 200 && c[1] == 40 && c[2] == 40;
      const bool near = ksim::depth_registered(u, v) == box_mm;
      box_colour += red, box_depth += near, both += red && near;
    }
  }
  EXPECT_GT(box_colour, 10000);
  EXPECT_GT(both, box_colour * 97 / 100);
  EXPECT_GT(both, box_depth * 97 / 100);
}
