// End-to-end tests of bandshow on the simulated Kinect, under Xvfb. The window
// is compared pixel by pixel with the image predicted from the simulator's
// known depth scene; keys and failures are checked in the simulator's trace.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "harness.hpp"
#include "scene.hpp"
#include "source_rows.hpp"
#include "window_tool.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

constexpr int kW = 320, kH = 240;  // the window and the image it shows
const char kKeyHelp[] = "'w'-tilt up, 's'-level, 'x'-tilt down, '0'-'6'-select LED mode\n";

// The six colour bands, from the cube law of the depth value.
kt::Image::Pixel band_colour(uint16_t d) {
  float t = powf((float)d / 2048.0f, 3.0f);
  t *= 6;
  t *= 6;
  t *= 256;
  const int p = (int)t, lb = p & 0xFF;
  auto px = [](int r, int g, int b) {
    return kt::Image::Pixel{(uint8_t)r, (uint8_t)g, (uint8_t)b};
  };
  if (p > 1535) return px(0, 0, 0);
  switch (p >> 8) {
    case 0:
      return px(255, 255 - lb, 255 - lb);
    case 1:
      return px(255, lb, 0);
    case 2:
      return px(255 - lb, 255, 0);
    case 3:
      return px(0, 255, lb);
    case 4:
      return px(0, 255 - lb, 255);
    default:
      return px(0, 0, 255 - lb);
  }
}

// What the window shows for the simulator's scene: every second pixel of the
// selected source rows, coloured.
kt::Image expected_picture() {
  kt::Image img;
  img.width = kW;
  img.height = kH;
  img.rgb.resize(kW * kH * 3);
  for (int r = 0; r < kH; r++)
    for (int c = 0; c < kW; c++) {
      const kt::Image::Pixel p = band_colour(ksim::depth_raw11(2 * c, source_row(r)));
      uint8_t *out = &img.rgb[3 * (r * kW + c)];
      out[0] = p.r, out[1] = p.g, out[2] = p.b;
    }
  return img;
}

// The first differing pixels, empty when the pictures are equal.
std::string differences(const kt::Image &got, const kt::Image &want) {
  if (got.width != want.width || got.height != want.height)
    return "size " + std::to_string(got.width) + "x" + std::to_string(got.height);
  std::string out;
  int n = 0;
  for (int y = 0; y < want.height; y++)
    for (int x = 0; x < want.width; x++) {
      const auto g = got.at(x, y), w = want.at(x, y);
      if (g == w) continue;
      if (n++ < 8)
        out += "(" + std::to_string(x) + "," + std::to_string(y) + ") got " + std::to_string(g.r) +
               " " + std::to_string(g.g) + " " + std::to_string(g.b) + " want " +
               std::to_string(w.r) + " " + std::to_string(w.g) + " " + std::to_string(w.b) + "\n";
    }
  if (n) out += std::to_string(n) + " pixels differ\n";
  return out;
}

// bandshow in the shared window fixture, with the checks every test makes.
struct Viewer : kt::WindowTool {
  explicit Viewer(kt::Env env, std::vector<std::string> args = {})
      : WindowTool("bandshow", "LibFreenect", "Escape", options(std::move(env), std::move(args))) {}
  static kt::RunOptions options(kt::Env env, std::vector<std::string> args) {
    kt::RunOptions opts;
    opts.env = std::move(env);
    opts.args = std::move(args);
    return opts;
  }

  // Waits until the window shows the scene's expected picture; returns the
  // differences left after 20 s.
  std::string shows_scene(unsigned long win, const std::string &name) {
    const kt::Image want = expected_picture();
    return shows(
        win, [&](const kt::Image &shot) { return differences(shot, want); }, name,
        milliseconds(20000));
  }
  // ESC ends the viewer with status 0 once the device thread is done.
  kt::RunResult quit(unsigned long win) {
    const kt::RunResult r = WindowTool::quit(win);
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nshutting down streams...\n-- done!\n"), std::string::npos) << r.out;
    return r;
  }
};

// The tilt values sent, in order.
std::vector<std::string> tilts(const std::vector<kt::TraceCall> &trace) {
  return kt::first_args(trace, "freenect_set_tilt_degs");
}

}  // namespace

// The live picture is the scene's depth, one source row per packet and every
// second pixel, in the six bands; ESC then stops the stream, closes the
// device and shuts the driver down, in that order, and ends with status 0.
TEST(Bandshow, picture_shows_scene_bands_and_escape_releases_device) {
  Viewer v(kt::Env{});
  const unsigned long win = v.window();
  ASSERT_TRUE(v.proc.wait_for_out(kKeyHelp, milliseconds(20000)));
  EXPECT_EQ(v.shows_scene(win, "live"), "");

  const kt::RunResult r = v.quit(win);
  EXPECT_EQ(r.out.substr(0, 46), "Kinect camera test\nNumber of devices found: 1\n");
  std::vector<std::string> calls;
  for (const auto &name : kt::call_names(v.trace()))
    if (name[0] != '@') calls.push_back(name);
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "freenect_init", "freenect_set_log_level", "freenect_select_subdevices",
                       "freenect_num_devices", "freenect_open_device", "freenect_set_tilt_degs",
                       "freenect_set_led", "freenect_set_depth_callback",
                       "freenect_find_depth_mode", "freenect_set_depth_mode",
                       "freenect_set_depth_chunk_callback", "freenect_start_depth",
                       "freenect_stop_depth", "freenect_close_device", "freenect_shutdown"}));
  const auto trace = v.trace();
  EXPECT_EQ(kt::calls_named(trace, "freenect_set_depth_mode")[0].args,
            (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(kt::calls_named(trace, "freenect_set_led")[0].args, std::vector<std::string>{"2"});
}

// Bad packets from the device (numbers beyond the frame, payloads shorter
// than their row) are ignored: the picture stays right.
TEST(Bandshow, bad_packets_leave_picture_intact) {
  Viewer v(kt::Env{{"KSIM_FAULT", "packets"}});
  const unsigned long win = v.window();
  ASSERT_TRUE(v.proc.wait_for_out(kKeyHelp, milliseconds(20000)));
  EXPECT_EQ(v.shows_scene(win, "bad_packets"), "");
  EXPECT_FALSE(kt::calls_named(v.trace(), "@chunk").empty());
  v.quit(win);
}

// 'w' raises the tilt by one degree up to 30, 'x' lowers it down to -30, 's'
// levels it; every key but ESC sends the tilt again. The digits set the LED,
// '5' the same as '4'.
TEST(Bandshow, keys_tilt_within_limits_and_set_led) {
  Viewer v(kt::Env{});
  const unsigned long win = v.window();
  ASSERT_TRUE(v.proc.wait_for_out(kKeyHelp, milliseconds(20000)));
  std::vector<std::string> want = {"0"};  // levelled at start
  for (int i = 1; i <= 32; i++) {
    v.xvfb.key(win, "w");
    want.push_back(std::to_string(std::min(i, 30)));
  }
  for (const char *k : {"a", "W"}) {
    v.xvfb.key(win, k);
    want.push_back("30");
  }
  for (int i = 1; i <= 62; i++) {
    v.xvfb.key(win, "x");
    want.push_back(std::to_string(std::max(30 - i, -30)));
  }
  v.xvfb.key(win, "s");
  want.push_back("0");
  for (const char *k : {"1", "2", "3", "4", "5", "6", "0", "7"}) {
    v.xvfb.key(win, k);
    want.push_back("0");
  }
  v.quit(win);

  const auto trace = v.trace();
  EXPECT_EQ(tilts(trace), want);
  std::vector<std::string> leds;
  for (const auto &c : kt::calls_named(trace, "freenect_set_led")) leds.push_back(c.args[0]);
  EXPECT_EQ(leds, (std::vector<std::string>{"2", "1", "2", "3", "4", "4", "6", "0"}));
}

// When the device thread ends on its own (the stream ended, or the event
// pump failed), the window keeps its last picture, keys are still handled
// without reaching the closed device, and ESC ends the viewer with status 0.
TEST(Bandshow, device_thread_end_keeps_picture_and_escape_still_quits) {
  const kt::Env cases[] = {{{"KSIM_END_AFTER", "5"}},
                           {{"KSIM_FAIL", "freenect_process_events@40"}}};
  for (const kt::Env &env : cases) {
    SCOPED_TRACE(env.begin()->first);
    Viewer v(env);
    const unsigned long win = v.window();
    ASSERT_TRUE(v.proc.wait_for_out("-- done!\n", milliseconds(20000))) << v.proc.out_so_far();
    EXPECT_EQ(v.shows_scene(win, "ended"), "");

    v.xvfb.key(win, "w");
    v.xvfb.key(win, "1");
    // The picture is redrawn from the last image (a window expose asks for it).
    EXPECT_EQ(v.shows_scene(win, "ended_after_keys"), "");
    ASSERT_TRUE(v.proc.running());
    v.quit(win);

    const auto names = kt::call_names(v.trace());
    const std::vector<std::string> tail(names.end() - 3, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"freenect_stop_depth", "freenect_close_device",
                                              "freenect_shutdown"}));
  }
}

// When the depth stream does not start, no frame ever comes: the window
// stays black, and keys, ESC included, still work.
TEST(Bandshow, a_stream_that_does_not_start_leaves_keys_and_escape_working) {
  Viewer v(kt::Env{{"KSIM_FAIL", "freenect_start_depth"}});
  const unsigned long win = v.window();
  ASSERT_TRUE(v.proc.wait_for_out(kKeyHelp, milliseconds(20000)));
  const auto black = [](const kt::Image &shot) {
    for (size_t i = 0; i < shot.rgb.size(); i++)
      if (shot.rgb[i] != 0) return "pixel " + std::to_string(i / 3) + " is not black";
    return std::string();
  };
  EXPECT_EQ(v.shows(win, black, "not_started", milliseconds(20000)), "");
  v.xvfb.key(win, "w");
  const auto until = std::chrono::steady_clock::now() + milliseconds(10000);
  while (tilts(v.trace()).size() < 2 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(tilts(v.trace()), (std::vector<std::string>{"0", "1"}));
  v.quit(win);
}

// Start-up failures: status 1, the messages so far, no window.
TEST(Bandshow, setup_failures_report_and_exit_1) {
  struct Case {
    const char *name;
    kt::Env env;
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {"init",
       {{"KSIM_FAIL", "freenect_init"}},
       {},
       "Kinect camera test\nfreenect_init() failed\n"},
      {"no device",
       {{"KSIM_DEVICES", "0"}},
       {},
       "Kinect camera test\nNumber of devices found: 0\n"},
      {"bad index",
       {},
       {"3"},
       "Kinect camera test\nNumber of devices found: 1\nCould not open device\n"},
      {"no memory for the images",
       {{"KFAULT_CALLOC", "1x230400"}},
       {},
       "Could not allocate the depth images\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    kt::TempDir dir;
    kt::Xvfb xvfb;
    kt::RunOptions opts;
    opts.env = xvfb.env();
    for (const auto &[k, val] : c.env) opts.env[k] = val;
    opts.env["KSIM_TRACE"] = dir.file("trace");
    opts.args = c.args;
    opts.preload = {kt::start_fault_lib()};
    const kt::RunResult r = kt::run(kt::tool_path("bandshow"), opts);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_FALSE(xvfb.find_window("LibFreenect", milliseconds(0)));
    const auto trace = kt::read_trace(dir.file("trace"));
    EXPECT_TRUE(kt::calls_named(trace, "freenect_start_depth").empty());
  }
  // A second device is opened by its index, read with strtol; an index beyond
  // int stays beyond every device instead of wrapping round to another one.
  const std::pair<const char *, const char *> indices[] = {
      {"1", "1"},
      {"1abc", "1"},
      {"abc", "0"},
      {"4294967297", "2147483647"},
      {"-4294967295", "-2147483648"},
      {"99999999999999999999999", "2147483647"},
  };
  for (const auto &[arg, index] : indices) {
    SCOPED_TRACE(arg);
    kt::TempDir dir;
    kt::RunOptions opts;
    opts.env = {{"KSIM_DEVICES", "2"},
                {"KSIM_FAIL", "freenect_open_device"},
                {"KSIM_TRACE", dir.file("trace")}};
    opts.args = {arg};
    kt::run(kt::tool_path("bandshow"), opts);
    const auto opened = kt::calls_named(kt::read_trace(dir.file("trace")), "freenect_open_device");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].args, std::vector<std::string>{index});
  }
}
