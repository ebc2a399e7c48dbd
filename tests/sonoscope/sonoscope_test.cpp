// End-to-end tests of sonoscope on the simulated Kinect, under Xvfb. The
// pictures are checked against traces predicted from the simulator's known
// microphone signals.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"
#include "scene.hpp"
#include "window_tool.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

constexpr int kMics = 4;
constexpr int kRingLen = 15360;  // samples per microphone shown
constexpr int kWinW = 800, kWinH = 600;
constexpr int kLit = 64;  // a channel value above this is part of a trace
const char kBanner[] =
    "This is the libfreenect microphone waveform viewer.  Press 'q' to quit or spacebar to "
    "pause/unpause the view.\n";

using Rings = std::array<std::vector<int32_t>, kMics>;

// What the rings hold, oldest sample first, once `total` samples per
// microphone have been delivered: the newest kRingLen of them, zeros before
// the first.
Rings rings_after(uint64_t total) {
  Rings rings;
  for (int mic = 0; mic < kMics; mic++) {
    rings[mic].assign(kRingLen, 0);
    for (int i = 0; i < kRingLen; i++) {
      const int64_t n = (int64_t)total - kRingLen + i;
      if (n >= 0) rings[mic][i] = ksim::audio_sample(mic, (uint64_t)n);
    }
  }
  return rings;
}

// The vertical extent of one trace within one pixel column.
struct Span {
  float lo = INFINITY, hi = -INFINITY;
  bool empty() const { return lo > hi; }
};
using Columns = std::vector<std::array<Span, kMics>>;

// For every pixel column, the extent of each trace's line segments that cross
// it, with the vertices placed as the viewer places them (single-precision x
// steps, zero line at (2c+1)/8 of the height, full scale a quarter of it).
Columns predict(const Rings &rings, int w, int h) {
  Columns cols(w);
  const float dx = (float)w / (float)kRingLen;
  for (int c = 0; c < kMics; c++) {
    const int k = 2 * c + 1;
    float x = 0, px = 0, py = 0;
    for (int i = 0; i < kRingLen; i++) {
      const float s = (float)rings[c][i];
      const float y =
          (float)((double)(s * (0.25f * (float)h)) / 2147483647.0 + (double)((float)h * k) * 0.125);
      const float x0 = i ? px : x, y0 = i ? py : y;
      for (int col = (int)x0; col <= (int)x && col < w; col++) {
        Span &sp = cols[col][c];
        sp.lo = std::min({sp.lo, y0, y});
        sp.hi = std::max({sp.hi, y0, y});
      }
      px = x;
      py = y;
      x += dx;
    }
  }
  return cols;
}

bool lit(const kt::Image &img, int x, int y) {
  if (x < 0 || x >= img.width || y < 0 || y >= img.height) return false;
  const kt::Image::Pixel p = img.at(x, y);
  return p.r > kLit || p.g > kLit || p.b > kLit;
}

// Compares a screenshot with the predicted traces: every lit pixel lies on a
// predicted trace (within a pixel and a half), and every predicted trace is
// drawn over its whole extent (within a column either side). Returns the
// first mismatches found, empty when the picture fits.
std::string mismatches(const kt::Image &img, const Columns &cols) {
  constexpr float kSlop = 1.5f;
  std::string out;
  int found = 0;
  auto report = [&](const std::string &what) {
    if (found++ < 8) out += what + "\n";
  };
  if (img.width != (int)cols.size()) return "screenshot is " + std::to_string(img.width) + " wide";

  for (int x = 0; x < img.width; x++) {
    for (int y = 0; y < img.height; y++) {
      if (!lit(img, x, y)) continue;
      const float centre = y + 0.5f;
      bool explained = false;
      for (int cx = std::max(0, x - 1); cx <= std::min(img.width - 1, x + 1); cx++)
        for (const Span &sp : cols[cx])
          if (!sp.empty() && centre >= sp.lo - kSlop && centre <= sp.hi + kSlop) explained = true;
      if (!explained)
        report("stray pixel at (" + std::to_string(x) + "," + std::to_string(y) + ")");
    }
    // The traces start and end in the outermost columns, where the line's
    // end points may or may not be drawn.
    if (x == 0 || x == img.width - 1) continue;
    for (int c = 0; c < kMics; c++) {
      const Span &sp = cols[x][c];
      if (sp.empty()) continue;
      // Rows whose centres the trace crosses (at least the one nearest to it),
      // within the window.
      int top = (int)std::floor(sp.lo + 1), bottom = (int)std::ceil(sp.hi - 1);
      if (top > bottom) top = bottom = (int)std::floor((sp.lo + sp.hi) / 2);
      top = std::max(top, 0);
      bottom = std::min(bottom, img.height - 1);
      for (int y = top; y <= bottom; y++) {
        if (!lit(img, x - 1, y) && !lit(img, x, y) && !lit(img, x + 1, y))
          report("trace " + std::to_string(c) + " missing at (" + std::to_string(x) + "," +
                 std::to_string(y) + ")");
      }
    }
  }
  if (found > 8) out += "... " + std::to_string(found) + " mismatches in all\n";
  return out;
}

// sonoscope in the shared window fixture, with the checks every test makes.
struct Viewer : kt::WindowTool {
  explicit Viewer(kt::Env env = {}) : WindowTool("sonoscope", "Microphones", "q", options(env)) {}
  static kt::RunOptions options(kt::Env env) {
    kt::RunOptions opts;
    opts.env = std::move(env);
    return opts;
  }

  // Waits until the device thread has released the device.
  bool wait_device_released(milliseconds timeout) {
    return wait_for_call("freenect_shutdown", timeout);
  }
  // Waits until the window shows `expected` (a key takes effect with a later
  // frame, however loaded the machine); returns what still does not fit after
  // 20 s (the last picture in `last`, if given).
  std::string shows(unsigned long win, const Columns &expected, const std::string &name,
                    kt::Image *last = nullptr) {
    return WindowTool::shows(
        win, [&](const kt::Image &shot) { return mismatches(shot, expected); }, name,
        milliseconds(20000), last);
  }
  // Quits with 'q' and checks the orderly exit.
  kt::RunResult quit(unsigned long win) {
    const kt::RunResult r = WindowTool::quit(win);
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    return r;
  }
};

// The viewer fed `deliveries` deliveries of the listed sizes at full speed,
// after which the stream ends; returns what its picture still gets wrong
// against `expected`.
std::string picture_after(const std::string &sizes, int deliveries, const std::string &name,
                          const Columns &expected) {
  Viewer v(kt::Env{{"KSIM_PACE", "fast"},
                   {"KSIM_AUDIO_SAMPLES", sizes},
                   {"KSIM_END_AFTER", std::to_string(deliveries)}});
  const unsigned long win = v.window();
  EXPECT_TRUE(v.wait_device_released(milliseconds(20000)));
  const std::string wrong = v.shows(win, expected, name);
  v.quit(win);
  return wrong;
}

uint64_t total_samples(const std::vector<int> &sizes, int deliveries) {
  uint64_t total = 0;
  for (int i = 0; i < deliveries; i++) total += sizes[i % sizes.size()];
  return total;
}

}  // namespace

// Deliveries that stop short of the ring's end, end exactly at it, cross it,
// or are longer than the whole ring: each picture shows the newest 15360
// samples of every microphone, oldest on the left.
TEST(Sonoscope, picture_shows_newest_samples_for_every_delivery_pattern) {
  struct Case {
    const char *name;
    std::string sizes;
    std::vector<int> size_list;
    int deliveries;
  };
  const Case cases[] = {
      {"single", "256", {256}, 1},                        // first delivery at the right end
      {"exact_end", "5120,10240", {5120, 10240}, 2},      // ends at the last index
      {"exact_then_more", "15360,700", {15360, 700}, 2},  // wraps to 0, continues from there
      {"crossing", "10000", {10000}, 2},                  // split across the end
      {"over_long", "1000,20000", {1000, 20000}, 2},      // longer than the ring
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const uint64_t total = total_samples(c.size_list, c.deliveries);
    EXPECT_EQ(
        picture_after(c.sizes, c.deliveries, c.name, predict(rings_after(total), kWinW, kWinH)),
        "");
  }
}

// With no samples at all the four traces lie flat on their zero lines, at
// 1/8, 3/8, 5/8 and 7/8 of the height; the window still quits with 'q' after
// the device thread has failed, and the device is released once.
TEST(Sonoscope, device_failure_leaves_flat_traces_and_q_still_quits) {
  Viewer v(kt::Env{{"KSIM_FAIL", "freenect_process_events"}});
  const unsigned long win = v.window();
  ASSERT_TRUE(v.wait_device_released(milliseconds(20000)));
  kt::Image img;
  EXPECT_EQ(v.shows(win, predict(rings_after(0), kWinW, kWinH), "flat", &img), "");

  for (int x = 0; x < kWinW; x += 7) {
    std::vector<int> rows;
    for (int y = 0; y < kWinH; y++)
      if (lit(img, x, y)) rows.push_back(y);
    // Lines at y = 75, 225, 375, 525 light the row on either side of it.
    ASSERT_EQ(rows.size(), 4u) << "column " << x;
    for (int c = 0; c < kMics; c++) EXPECT_NEAR(rows[c] + 0.5, 75.0 * (2 * c + 1), 0.5);
  }

  v.quit(win);
  const auto names = kt::call_names(v.trace());
  const std::vector<std::string> tail(names.end() - 4, names.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"freenect_process_events", "freenect_stop_audio",
                                            "freenect_close_device", "freenect_shutdown"}));
  EXPECT_EQ(kt::calls_named(v.trace(), "freenect_shutdown").size(), 1u);
}

// When audio does not start, no samples ever come: the traces lie flat on
// their zero lines and 'q' still quits.
TEST(Sonoscope, audio_that_does_not_start_leaves_flat_traces_and_q_still_quits) {
  Viewer v(kt::Env{{"KSIM_FAIL", "freenect_start_audio"}});
  const unsigned long win = v.window();
  EXPECT_EQ(v.shows(win, predict(rings_after(0), kWinW, kWinH), "not_started"), "");
  v.quit(win);
  const auto names = kt::call_names(v.trace());
  const std::vector<std::string> tail(names.end() - 3, names.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"freenect_stop_audio", "freenect_close_device",
                                            "freenect_shutdown"}));
}

// Space freezes the picture while deliveries go on; space again shows the
// newest rings at once.
TEST(Sonoscope, pause_freezes_picture_and_unpause_shows_newest_rings) {
  // 257 samples a delivery at 16 kHz: eight seconds in all, so that the
  // stream still runs after the pause has been checked, even under TSan on a
  // busy machine (audio starts before the window opens). The signals repeat
  // every 320 samples, so no earlier picture equals the last one.
  constexpr int kDeliveries = 500, kSamples = 257;
  Viewer v(kt::Env{{"KSIM_END_AFTER", std::to_string(kDeliveries)},
                   {"KSIM_AUDIO_SAMPLES", std::to_string(kSamples)}});
  const unsigned long win = v.window();
  std::this_thread::sleep_for(milliseconds(300));

  v.xvfb.key(win, "space");
  // Paused, the picture holds still; running, it changes with every delivery.
  const kt::Image frozen = v.xvfb.stable_screenshot(win, milliseconds(1000), milliseconds(20000));
  const size_t delivered_at_pause = kt::calls_named(v.trace(), "@audio").size();
  ASSERT_TRUE(v.wait_device_released(milliseconds(30000)));
  ASSERT_LT(delivered_at_pause, (size_t)kDeliveries) << "the stream ended before the pause";
  const kt::Image later = v.xvfb.screenshot(win);
  EXPECT_TRUE(later.rgb == frozen.rgb) << "the picture changed while paused";

  const Columns final_traces = predict(rings_after(uint64_t(kDeliveries) * kSamples), kWinW, kWinH);
  EXPECT_NE(mismatches(frozen, final_traces), "");
  v.xvfb.key(win, "space");
  EXPECT_EQ(v.shows(win, final_traces, "resumed"), "");
  v.quit(win);
}

// 'q' stops audio, closes the device and shuts the driver down in that order,
// after the set-up calls in theirs, and ends with status 0; other keys,
// upper-case 'Q' among them, do nothing.
TEST(Sonoscope, q_releases_device_in_order_and_other_keys_do_nothing) {
  Viewer v;
  const unsigned long win = v.window();
  for (const char *key : {"Q", "x", "Escape", "Return"}) v.xvfb.key(win, key);
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(v.proc.running());

  const kt::RunResult r = v.quit(win);
  EXPECT_EQ(r.out, std::string("Number of devices found: 1\n") + kBanner);

  std::vector<std::string> calls;
  for (const auto &name : kt::call_names(v.trace()))
    if (name[0] != '@' && name != "freenect_get_user") calls.push_back(name);
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "freenect_init", "freenect_set_log_level", "freenect_select_subdevices",
                       "freenect_num_devices", "freenect_open_device", "freenect_set_user",
                       "freenect_set_audio_in_callback", "freenect_start_audio",
                       "freenect_stop_audio", "freenect_close_device", "freenect_shutdown"}));
  const auto trace = v.trace();
  EXPECT_EQ(kt::calls_named(trace, "freenect_set_log_level")[0].args,
            std::vector<std::string>{"4"});
  EXPECT_EQ(kt::calls_named(trace, "freenect_select_subdevices")[0].args,
            std::vector<std::string>{"4"});
  EXPECT_EQ(kt::calls_named(trace, "freenect_open_device")[0].args, std::vector<std::string>{"0"});
}

// Set-up failures end with status 1 and their message, shutting the driver
// down whenever it was initialised.
TEST(Sonoscope, setup_failures_report_and_exit_1) {
  struct Case {
    const char *name;
    kt::Env env;
    std::string out;
    bool shut_down;
    bool started;  // audio was started before the failure
  };
  const std::string found = "Number of devices found: 1\n";
  const std::string ring = std::to_string(kRingLen) + "x4";
  const Case cases[] = {
      {"init", {{"KSIM_FAIL", "freenect_init"}}, "freenect_init() failed\n", false, false},
      {"no device", {{"KSIM_DEVICES", "0"}}, "Number of devices found: 0\n", true, false},
      {"open",
       {{"KSIM_FAIL", "freenect_open_device=-5"}},
       found + "Could not open device\n",
       true,
       false},
      {"ring allocation",
       {{"KFAULT_CALLOC", ring}},
       found + "Could not allocate the sample buffers\n",
       true,
       false},
      {"device thread",
       {{"KFAULT_PTHREAD_CREATE", "1"}},
       found + "pthread_create failed\n",
       true,
       true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    kt::TempDir dir;
    kt::RunOptions opts;
    opts.env = c.env;
    opts.env["KSIM_TRACE"] = dir.file("trace");
    opts.preload = {kt::start_fault_lib()};
    const kt::RunResult r = kt::run(kt::tool_path("sonoscope"), opts);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, c.out);
    const auto trace = kt::read_trace(dir.file("trace"));
    EXPECT_EQ(kt::calls_named(trace, "freenect_shutdown").size(), c.shut_down ? 1u : 0u);
    EXPECT_EQ(kt::calls_named(trace, "freenect_start_audio").size(), c.started ? 1u : 0u);
    // The shutdown alone releases whatever was set up, and comes last.
    EXPECT_TRUE(kt::calls_named(trace, "freenect_stop_audio").empty());
    EXPECT_TRUE(kt::calls_named(trace, "freenect_close_device").empty());
    if (c.shut_down) {
      EXPECT_EQ(kt::call_names(trace).back(), "freenect_shutdown");
    }
  }
}
