// End-to-end tests of streamcheck: the tool on the simulated Kinect (and once
// on the real driver with no Kinect), checked through its output, exit status
// and the simulator's trace.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.hpp"
#include "scene.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kFrameWait(10000);

// Driver calls of a full start-up, in order, as the trace writes them.
const std::vector<std::string> kStartUp = {
    "freenect_init",
    "freenect_set_log_level 5",
    "freenect_select_subdevices 2",
    "freenect_num_devices",
    "freenect_open_device 0",
    "freenect_set_depth_mode 1 5",
    "freenect_set_video_mode 1 0",
    "freenect_set_depth_callback set",
    "freenect_set_video_callback set",
    "freenect_start_depth",
    "freenect_start_video",
};
const std::vector<std::string> kShutdown = {
    "freenect_stop_depth",
    "freenect_stop_video",
    "freenect_close_device",
    "freenect_shutdown",
};

// A frame as printed by the tool or delivered according to the trace.
struct Frame {
  std::string kind;  // "depth" or "video"
  int32_t timestamp;
  bool operator==(const Frame &o) const { return kind == o.kind && timestamp == o.timestamp; }
};
std::ostream &operator<<(std::ostream &os, const Frame &f) {
  return os << f.kind << "@" << f.timestamp;
}

// The tool's output split into its frame lines and the rest.
struct Output {
  std::vector<Frame> frames;
  std::vector<std::string> other;
};

// Frame lines are "Received <kind> frame at <timestamp>", the timestamp a
// signed 32-bit decimal; everything else goes to `other`.
Output parse_output(const std::string &out) {
  Output o;
  for (const auto &line : kt::split_lines(out)) {
    bool framed = false;
    for (const char *kind : {"depth", "video"}) {
      const std::string prefix = std::string("Received ") + kind + " frame at ";
      if (line.rfind(prefix, 0) != 0) continue;
      const std::string number = line.substr(prefix.size());
      const long long value = std::strtoll(number.c_str(), nullptr, 10);
      if (value >= INT32_MIN && value <= INT32_MAX && std::to_string(value) == number) {
        o.frames.push_back({kind, (int32_t)value});
        framed = true;
      }
    }
    if (!framed) o.other.push_back(line);
  }
  return o;
}

// The driver calls (with their arguments, not results) and the deliveries
// of a trace; mode look-ups are left out.
struct Trace {
  std::vector<std::string> calls;
  std::vector<Frame> frames;
  std::vector<kt::TraceCall> raw;
};

Trace load_trace(const std::string &path) {
  Trace t;
  t.raw = kt::read_trace(path);
  for (const auto &c : t.raw) {
    if (c.name == "@depth" || c.name == "@video") {
      t.frames.push_back({c.name.substr(1), (int32_t)(uint32_t)std::stoul(c.args.at(0))});
    } else if (c.name.rfind("freenect_find_", 0) != 0 && c.name[0] != '@') {
      std::string call = c.name;
      for (const auto &a : c.args) call += " " + a;
      t.calls.push_back(call);
    }
  }
  return t;
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

kt::RunOptions on_sim(const kt::TempDir &dir, kt::Env extra = {}) {
  kt::RunOptions opts;
  opts.env = std::move(extra);
  opts.env["KSIM_TRACE"] = dir.file("trace");
  return opts;
}

const char *signal_name(int sig) {
  return sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : "SIGQUIT";
}

}  // namespace

TEST(Streamcheck, without_a_kinect_prints_no_device_found_and_exits_1) {
  for (bool with_args : {false, true}) {
    SCOPED_TRACE(with_args ? "with arguments" : "without arguments");
    kt::TempDir dir;
    kt::RunOptions opts = on_sim(dir, {{"KSIM_DEVICES", "0"}});
    if (with_args) opts.args = {"-d", "1", "extra"};
    kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "No device found!\n");
    Trace t = load_trace(dir.file("trace"));
    EXPECT_EQ(t.calls, (std::vector<std::string>{kStartUp[0], kStartUp[1], kStartUp[2], kStartUp[3],
                                                 "freenect_shutdown"}));
    auto count = kt::calls_named(t.raw, "freenect_num_devices");
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(count[0].result, "0");
  }

  // The real driver prints its own diagnostics as well; the tool's line is the
  // last on stdout.
  kt::RunOptions real;
  real.on_sim = false;
  kt::RunResult r = kt::run(kt::tool_path("streamcheck"), real);
  EXPECT_EQ(r.exit_code, 1);
  ASSERT_FALSE(kt::split_lines(r.out).empty());
  EXPECT_EQ(kt::split_lines(r.out).back(), "No device found!");
}

TEST(Streamcheck, each_stop_signal_ends_streaming_with_an_orderly_shutdown) {
  for (int sig : {SIGINT, SIGTERM, SIGQUIT}) {
    SCOPED_TRACE(signal_name(sig));
    kt::TempDir dir;
    kt::Process p(kt::tool_path("streamcheck"), on_sim(dir));
    ASSERT_TRUE(p.wait_for_out("Received depth frame at ", kFrameWait));
    ASSERT_TRUE(p.wait_for_out("Received video frame at ", kFrameWait));
    p.signal(sig);
    kt::RunResult r = p.wait(milliseconds(10000));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.term_signal, 0);

    Output o = parse_output(r.out);
    EXPECT_EQ(o.other, (std::vector<std::string>{"Shutting down", "Done!"}));
    EXPECT_TRUE(r.out.size() >= 20 && r.out.substr(r.out.size() - 20) == "Shutting down\nDone!\n");
    // Every delivery printed once, in arrival order, with its timestamp.
    Trace t = load_trace(dir.file("trace"));
    EXPECT_EQ(o.frames, t.frames);
    EXPECT_EQ(t.calls, concat(kStartUp, kShutdown));
  }
}

TEST(Streamcheck, a_signal_during_start_up_skips_the_event_loop) {
  for (int sig : {SIGINT, SIGTERM, SIGQUIT}) {
    SCOPED_TRACE(signal_name(sig));
    kt::TempDir dir;
    // At fast pace any event-loop pass would deliver a frame at once.
    kt::RunOptions opts =
        on_sim(dir, {{"KSIM_PACE", "fast"}, {"KSTART_SIGNAL", std::to_string(sig)}});
    opts.preload.push_back(SIGNAL_AT_START_LIB);
    kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "Shutting down\nDone!\n");
    Trace t = load_trace(dir.file("trace"));
    EXPECT_TRUE(t.frames.empty());
    EXPECT_TRUE(kt::calls_named(t.raw, "freenect_process_events").empty());
    EXPECT_EQ(t.calls, concat(kStartUp, kShutdown));
  }
}

TEST(Streamcheck, failing_event_processing_ends_streaming_with_status_0) {
  struct Case {
    kt::Env env;
    int frames_each;  // frames per stream, or -1: not fixed
  };
  for (const Case &c :
       {Case{{{"KSIM_END_AFTER", "5"}}, 5}, Case{{{"KSIM_FAIL", "freenect_process_events@40"}}, -1},
        Case{{{"KSIM_FAIL", "freenect_process_events@3=-5"}}, -1}}) {
    SCOPED_TRACE(c.env.begin()->second);
    kt::TempDir dir;
    kt::RunOptions opts = on_sim(dir, c.env);
    opts.env["KSIM_PACE"] = "fast";
    opts.args = {"ignored"};
    kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts);
    EXPECT_EQ(r.exit_code, 0);
    Output o = parse_output(r.out);
    EXPECT_EQ(o.other, (std::vector<std::string>{"Shutting down", "Done!"}));
    Trace t = load_trace(dir.file("trace"));
    EXPECT_EQ(o.frames, t.frames);
    EXPECT_FALSE(o.frames.empty());
    if (c.frames_each >= 0) {
      EXPECT_EQ(o.frames.size(), 2u * c.frames_each);
    }
    // The failed call is the only one recorded, right before the shutdown.
    EXPECT_EQ(kt::calls_named(t.raw, "freenect_process_events").size(), 1u);
    EXPECT_EQ(t.calls, concat(concat(kStartUp, {"freenect_process_events"}), kShutdown));
  }
}

TEST(Streamcheck, a_failing_set_up_call_returns_its_result_after_shutdown) {
  struct Case {
    const char *fail;
    size_t failing_step;  // index in kStartUp
    int exit_code;        // the negative result as the shell sees it
  };
  for (const Case &c :
       {Case{"freenect_num_devices=-4", 3, 252}, Case{"freenect_open_device=-5", 4, 251},
        Case{"freenect_set_depth_mode", 5, 255}, Case{"freenect_set_video_mode=-3", 6, 253},
        Case{"freenect_start_depth=-7", 9, 249}, Case{"freenect_start_video=-2", 10, 254}}) {
    SCOPED_TRACE(c.fail);
    kt::TempDir dir;
    kt::RunResult r = kt::run(kt::tool_path("streamcheck"), on_sim(dir, {{"KSIM_FAIL", c.fail}}));
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.out, "");
    Trace t = load_trace(dir.file("trace"));
    std::vector<std::string> expected(kStartUp.begin(), kStartUp.begin() + c.failing_step + 1);
    expected.push_back("freenect_shutdown");
    EXPECT_EQ(t.calls, expected);
    EXPECT_TRUE(t.frames.empty());
  }

  // A context that cannot be created leaves nothing to release.
  kt::TempDir dir;
  kt::RunResult r =
      kt::run(kt::tool_path("streamcheck"), on_sim(dir, {{"KSIM_FAIL", "freenect_init=-9"}}));
  EXPECT_EQ(r.exit_code, 247);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(load_trace(dir.file("trace")).calls, std::vector<std::string>{"freenect_init"});
}

TEST(Streamcheck, timestamps_print_as_signed_32_bit_values) {
  // Frame 1 crosses 2^31 in the first case and wraps past 2^32 in the second.
  for (uint32_t first : {2147483000u, 4293967296u}) {
    SCOPED_TRACE(first);
    kt::TempDir dir;
    kt::RunOptions opts = on_sim(dir, {{"KSIM_PACE", "fast"},
                                       {"KSIM_END_AFTER", "3"},
                                       {"KSIM_FIRST_TIMESTAMP", std::to_string(first)}});
    kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts);
    EXPECT_EQ(r.exit_code, 0);
    std::vector<int32_t> depth, video;
    for (const Frame &f : parse_output(r.out).frames) {
      (f.kind == "depth" ? depth : video).push_back(f.timestamp);
    }
    std::vector<int32_t> expected;
    for (uint64_t k = 0; k < 3; k++) expected.push_back((int32_t)ksim::frame_timestamp(first, k));
    EXPECT_EQ(depth, expected);
    EXPECT_EQ(video, expected);
    if (first == 2147483000u) {
      EXPECT_NE(r.out.find("Received depth frame at -2145484296\n"), std::string::npos);
    }
  }
}
