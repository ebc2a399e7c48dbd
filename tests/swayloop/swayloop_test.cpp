// End-to-end tests of swayloop: the tool on the simulated Kinect (and once on
// the real driver with no Kinect), checked through its output, exit status and
// the simulator's trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

const char kError[] = "Error: Kinect not connected?\n";
constexpr double kGravity = 9.80665;  // m/s², the simulator's level reading
constexpr double kCountsPerG = 819;   // simulated accelerometer counts per g

struct Pass {
  int led, tilt;
  double x, y, z;
};

// Parses "led[%d] tilt[%d] accel[%lf,%lf,%lf]" lines; fails the test on any
// line that is not exactly that format reprinted.
std::vector<Pass> parse_passes(const std::vector<std::string> &lines) {
  static const char kFormat[] = "led[%d] tilt[%d] accel[%lf,%lf,%lf]";
  std::vector<Pass> passes;
  for (const auto &line : lines) {
    Pass p{};
    char again[256];
    if (sscanf(line.c_str(), kFormat, &p.led, &p.tilt, &p.x, &p.y, &p.z) != 5 ||
        snprintf(again, sizeof again, kFormat, p.led, p.tilt, p.x, p.y, p.z) < 0 || line != again) {
      ADD_FAILURE() << "unexpected line: '" << line << "'";
      continue;
    }
    passes.push_back(p);
  }
  return passes;
}

kt::RunOptions on_sim(const std::string &trace, bool no_sleep) {
  kt::RunOptions opts;
  opts.env = {{"KSIM_TRACE", trace}, {"KSIM_MOTOR_SPEED", "instant"}};
  if (no_sleep) opts.preload.push_back(kt::no_sleep_lib());
  return opts;
}

// Runs swayloop until it has printed `passes` lines (or stopped), then
// stops it with SIGTERM.
kt::RunResult run_passes(const kt::RunOptions &opts, int passes) {
  kt::Process p(kt::tool_path("swayloop"), opts);
  auto deadline = std::chrono::steady_clock::now() + milliseconds(60000);
  for (;;) {
    std::string out = p.out_so_far();
    if (std::count(out.begin(), out.end(), '\n') >= passes || !p.running() ||
        std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
  p.signal(SIGTERM);
  return p.wait(milliseconds(10000));
}

}  // namespace

TEST(Swayloop, without_a_kinect_prints_the_error_and_exits_1) {
  kt::TempDir dir;
  struct Case {
    const char *what;
    bool sim;
    std::vector<std::string> args;
  };
  for (const Case &c :
       {Case{"sim, no args", true, {}}, Case{"sim, args", true, {"--help", "-1", "x"}},
        Case{"real driver", false, {}}, Case{"real driver, args", false, {"7"}}}) {
    SCOPED_TRACE(c.what);
    kt::RunOptions opts = on_sim(dir.file("trace"), false);
    opts.env["KSIM_DEVICES"] = "0";
    opts.on_sim = c.sim;
    opts.args = c.args;
    kt::RunResult r = kt::run(kt::tool_path("swayloop"), opts);
    EXPECT_EQ(r.exit_code, 1);
    // The wrapper may print its own complaint first; the tool's line is last,
    // on stdout, and no pass line comes before it.
    ASSERT_GE(r.out.size(), sizeof kError - 1);
    EXPECT_EQ(r.out.substr(r.out.size() - (sizeof kError - 1)), kError);
    EXPECT_EQ(r.out.find("led["), std::string::npos);
    EXPECT_EQ(r.err.find("Kinect not connected"), std::string::npos);
    if (c.sim) {
      auto trace = kt::read_trace(dir.file("trace"));
      EXPECT_TRUE(kt::calls_named(trace, "freenect_set_led").empty());
      EXPECT_TRUE(kt::calls_named(trace, "freenect_set_tilt_degs").empty());
    }
  }
}

TEST(Swayloop, many_passes_stay_in_range_and_match_the_device_calls) {
  kt::TempDir dir;
  constexpr int kPasses = 600;
  kt::RunOptions opts = on_sim(dir.file("trace"), true);
  opts.args = {"ignored", "--also-ignored"};
  kt::RunResult r = run_passes(opts, kPasses);
  EXPECT_EQ(r.term_signal, SIGTERM);
  std::vector<std::string> lines = kt::split_lines(r.out);
  // The last line may have been cut by the kill.
  if (!r.out.empty() && r.out.back() != '\n') lines.pop_back();
  std::vector<Pass> passes = parse_passes(lines);
  ASSERT_GE((int)passes.size(), kPasses);

  std::set<int> leds, tilts;
  for (const Pass &p : passes) {
    leds.insert(p.led);
    tilts.insert(p.tilt);
  }
  // 600 passes see every value with overwhelming probability.
  EXPECT_EQ(leds, (std::set<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(*tilts.begin(), -15);
  EXPECT_EQ(*tilts.rbegin(), 14);
  EXPECT_EQ(tilts.size(), 30u);

  // Each printed pass is the LED and tilt the device was given, in order, and
  // the acceleration read after that tilt (gravity rotated by the angle).
  auto trace = kt::read_trace(dir.file("trace"));
  auto led_calls = kt::calls_named(trace, "freenect_set_led");
  auto tilt_calls = kt::calls_named(trace, "freenect_set_tilt_degs");
  ASSERT_GE(led_calls.size(), passes.size());
  ASSERT_GE(tilt_calls.size(), passes.size());
  for (size_t i = 0; i < passes.size(); i++) {
    SCOPED_TRACE("pass " + std::to_string(i));
    ASSERT_EQ(led_calls[i].args, std::vector<std::string>{std::to_string(passes[i].led)});
    ASSERT_EQ(tilt_calls[i].args, std::vector<std::string>{std::to_string(passes[i].tilt)});
    double a = passes[i].tilt * M_PI / 180;
    EXPECT_NEAR(passes[i].x, 0, 1e-6);
    EXPECT_NEAR(passes[i].y, std::round(kCountsPerG * std::cos(a)) / kCountsPerG * kGravity, 1e-6);
    EXPECT_NEAR(passes[i].z, std::round(kCountsPerG * std::sin(a)) / kCountsPerG * kGravity, 1e-6);
  }
}

TEST(Swayloop, a_failing_call_ends_the_pass_with_the_error) {
  struct Case {
    const char *fail;
    size_t lines_before;  // passes completed before the failing call
    size_t leds, tilts;   // wrapper calls that reached the device
  };
  for (const Case &c :
       {Case{"freenect_sync_set_led@1", 0, 0, 0}, Case{"freenect_sync_set_tilt_degs@2", 1, 2, 1},
        Case{"freenect_sync_get_tilt_state@3", 2, 3, 3}}) {
    SCOPED_TRACE(c.fail);
    kt::TempDir dir;
    kt::RunOptions opts = on_sim(dir.file("trace"), true);
    opts.preload.push_back(kt::sync_fault_lib());
    opts.env["KSYNC_FAIL"] = c.fail;
    kt::RunResult r = kt::run(kt::tool_path("swayloop"), opts);
    EXPECT_EQ(r.exit_code, 1);
    std::vector<std::string> lines = kt::split_lines(r.out);
    ASSERT_EQ(lines.size(), c.lines_before + 1);
    EXPECT_EQ(lines.back() + "\n", kError);
    lines.pop_back();
    EXPECT_EQ(parse_passes(lines).size(), c.lines_before);
    auto trace = kt::read_trace(dir.file("trace"));
    EXPECT_EQ(kt::calls_named(trace, "freenect_set_led").size(), c.leds);
    EXPECT_EQ(kt::calls_named(trace, "freenect_set_tilt_degs").size(), c.tilts);
  }
}

TEST(Swayloop, first_line_at_once_then_one_every_three_seconds) {
  kt::TempDir dir;
  auto start = std::chrono::steady_clock::now();
  kt::Process p(kt::tool_path("swayloop"), on_sim(dir.file("trace"), false));
  ASSERT_TRUE(p.wait_for_out("\n", milliseconds(2500)));
  auto first = std::chrono::steady_clock::now();
  // The second line comes after the three-second pause, not before.
  EXPECT_FALSE(p.wait_for_out("]\nled[", milliseconds(2700)));
  ASSERT_TRUE(p.wait_for_out("]\nled[", milliseconds(5000)));
  auto second = std::chrono::steady_clock::now();
  EXPECT_LT(first - start, milliseconds(2500));
  // The harness notices a line a little after it is written, the first one
  // perhaps later than the second on a busy machine, so the gap it sees may
  // fall short of the tool's 3 s by that much.
  EXPECT_GE(second - first, milliseconds(2900));
  p.signal(SIGINT);
  kt::RunResult r = p.wait(milliseconds(5000));
  EXPECT_EQ(r.term_signal, SIGINT);
}
