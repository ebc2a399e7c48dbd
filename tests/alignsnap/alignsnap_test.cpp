// End-to-end tests of alignsnap on the simulated Kinect: the four dumps are
// compared byte for byte with the frames the simulator's scene predicts, and
// every failure must leave only complete files behind and exit with status 1.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "scene.hpp"

namespace kt = kestrel::test;

namespace {

const char kRgb[] = "registration_test_rgb.ppm";
const char kRaw[] = "registration_test_depth_raw.pgm";
const char kRegistered[] = "registration_test_depth_registered.pgm";
const char kMm[] = "registration_test_depth_mm.pgm";
const std::vector<std::string> kFiles = {kRgb, kRaw, kRegistered, kMm};

const char kNoKinect[] = "Error: Kinect not connected?\n";
const char kDepthHeader[] = "P5 640 480 65535\n";
const char kRgbHeader[] = "P6 640 480 255\n";
constexpr long long kRgbSize = 921615;    // 15-byte header + 640 × 480 × 3
constexpr long long kDepthSize = 614417;  // 17-byte header + 640 × 480 × 2

kt::RunResult run_in(const std::string &dir, kt::Env env = {},
                     std::vector<std::string> preload = {}) {
  kt::RunOptions opts;
  opts.cwd = dir;
  opts.env = std::move(env);
  opts.preload = std::move(preload);
  return kt::run(kt::tool_path("alignsnap"), opts);
}

std::string names_printed(size_t count) {
  std::string out;
  for (size_t i = 0; i < count; i++) out += kFiles[i] + "\n";
  return out;
}

// Checks a depth dump against the scene: header, then every sample MSB first.
void expect_depth_dump(const std::string &path, const std::function<uint16_t(int, int)> &scene) {
  const std::vector<uint8_t> bytes = kt::read_file(path);
  ASSERT_EQ((long long)bytes.size(), kDepthSize) << path;
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 17), kDepthHeader) << path;
  const uint8_t *body = bytes.data() + 17;
  int mismatches = 0;
  for (int v = 0; v < ksim::kHeight; v++) {
    for (int u = 0; u < ksim::kWidth; u++) {
      const uint16_t got = kt::be16(body + 2 * (v * ksim::kWidth + u));
      if (got != scene(u, v) && mismatches++ < 5) {
        ADD_FAILURE() << path << " at (" << u << ", " << v << "): " << got << " instead of "
                      << scene(u, v);
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << path;
}

void expect_rgb_dump(const std::string &path) {
  const std::vector<uint8_t> bytes = kt::read_file(path);
  ASSERT_EQ((long long)bytes.size(), kRgbSize);
  ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 15), kRgbHeader);
  int mismatches = 0;
  for (int v = 0; v < ksim::kHeight; v++) {
    for (int u = 0; u < ksim::kWidth; u++) {
      uint8_t want[3];
      ksim::rgb(u, v, want);
      const uint8_t *got = bytes.data() + 15 + 3 * (v * ksim::kWidth + u);
      if ((got[0] != want[0] || got[1] != want[1] || got[2] != want[2]) && mismatches++ < 5) {
        ADD_FAILURE() << "colour at (" << u << ", " << v << ") differs";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(Alignsnap, dumps_four_frames_equal_to_the_simulated_ones_over_old_files) {
  kt::TempDir dir;
  for (const std::string &name : kFiles) kt::write_file(dir.file(name), std::string(2000000, 'x'));
  const kt::RunResult r = run_in(dir.path);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, names_printed(4));
  EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;

  expect_rgb_dump(dir.file(kRgb));
  expect_depth_dump(dir.file(kRaw), ksim::depth_raw11);
  expect_depth_dump(dir.file(kRegistered), ksim::depth_registered);
  expect_depth_dump(dir.file(kMm), ksim::depth_mm);

  // The scene has pixels without a reading, so 0x07FF must appear as 07 FF.
  bool saw_no_reading = false;
  for (int u = 0; u < ksim::kWidth && !saw_no_reading; u++) {
    for (int v = 0; v < ksim::kHeight && !saw_no_reading; v++) {
      saw_no_reading = ksim::depth_raw11(u, v) == 0x07FF;
    }
  }
  EXPECT_TRUE(saw_no_reading) << "the scene should have raw depth 2047 somewhere";
}

// With standard output (or all three standard descriptors) closed, no file
// the process opens (the dumps, the simulator's trace) may take their places
// and receive the file names.
TEST(Alignsnap, closed_standard_descriptors_leave_every_file_intact) {
  for (const char *closed : {">&-", "<&- >&- 2>&-"}) {
    SCOPED_TRACE(closed);
    kt::TempDir dir;
    kt::RunOptions opts;
    opts.cwd = dir.path;
    opts.env = {{"KSIM_TRACE", dir.file("trace")}};
    const kt::RunResult r =
        kt::run(kt::kShell, kt::redirected(kt::tool_path("alignsnap"), closed, opts));
    EXPECT_EQ(r.exit_code, 0);
    for (const kt::TraceCall &call : kt::read_trace(dir.file("trace"))) {
      EXPECT_TRUE(call.name.rfind("freenect_", 0) == 0 || call.name[0] == '@') << call.name;
    }
    expect_rgb_dump(dir.file(kRgb));
    expect_depth_dump(dir.file(kRaw), ksim::depth_raw11);
    expect_depth_dump(dir.file(kRegistered), ksim::depth_registered);
    expect_depth_dump(dir.file(kMm), ksim::depth_mm);
  }
}

TEST(Alignsnap, without_a_kinect_prints_only_the_error) {
  struct Case {
    const char *what;
    bool on_sim;
  };
  for (const Case &c : {Case{"simulator with no device", true}, Case{"real driver", false}}) {
    SCOPED_TRACE(c.what);
    kt::TempDir dir;
    kt::RunOptions opts;
    opts.cwd = dir.path;
    opts.on_sim = c.on_sim;
    if (c.on_sim) opts.env = {{"KSIM_DEVICES", "0"}};
    const kt::RunResult r = kt::run(kt::tool_path("alignsnap"), opts);
    EXPECT_EQ(r.exit_code, 1);
    // The wrapper reports the missing device on stdout itself ("Error: Invalid
    // index [0]"); the program prints no file name and ends stderr with its
    // own line.
    EXPECT_EQ(r.out.find("registration_test"), std::string::npos) << r.out;
    ASSERT_GE(r.err.size(), sizeof kNoKinect - 1) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - (sizeof kNoKinect - 1)), kNoKinect);
    for (const std::string &name : kFiles) EXPECT_FALSE(kt::file_exists(dir.file(name))) << name;
  }
}

TEST(Alignsnap, a_failing_fetch_keeps_the_files_completed_before_it) {
  // The n-th depth fetch fails: the dumps before it are complete, none after.
  for (int failing = 1; failing <= 3; failing++) {
    SCOPED_TRACE("depth fetch " + std::to_string(failing) + " fails");
    kt::TempDir dir;
    const kt::RunResult r =
        run_in(dir.path, {{"KSYNC_FAIL", "freenect_sync_get_depth@" + std::to_string(failing)}},
               {kt::sync_fault_lib()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, names_printed(failing));
    EXPECT_EQ(r.err, kNoKinect);
    EXPECT_EQ(kt::file_size(dir.file(kRgb)), kRgbSize);
    for (int i = 1; i <= 3; i++) {
      EXPECT_EQ(kt::file_size(dir.file(kFiles[i])), i < failing ? kDepthSize : -1) << kFiles[i];
    }
  }
}

TEST(Alignsnap, a_file_that_cannot_be_opened_ends_the_run) {
  // A directory in the way makes the open fail even for root.
  for (size_t blocked = 0; blocked < kFiles.size(); blocked++) {
    SCOPED_TRACE(kFiles[blocked]);
    kt::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file(kFiles[blocked]).c_str(), 0755), 0);
    const std::string trace = dir.file("trace.txt");
    const kt::RunResult r = run_in(dir.path, {{"KSIM_TRACE", trace}});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, names_printed(blocked));
    EXPECT_EQ(r.err, "Error: Cannot open file [" + kFiles[blocked] + "]\n");
    for (size_t i = 0; i < blocked; i++) {
      EXPECT_EQ(kt::file_size(dir.file(kFiles[i])), i == 0 ? kRgbSize : kDepthSize) << kFiles[i];
    }
    for (size_t i = blocked + 1; i < kFiles.size(); i++) {
      EXPECT_FALSE(kt::file_exists(dir.file(kFiles[i]))) << kFiles[i];
    }
    // The frame was fetched before the open was tried.
    EXPECT_FALSE(kt::calls_named(kt::read_trace(trace), "@video").empty());
  }
}

TEST(Alignsnap, a_full_disk_is_reported_and_leaves_no_truncated_file) {
  struct Case {
    const char *size;  // tmpfs size
    size_t failing;    // the file that does not fit
  };
  // 700k holds no colour dump (921615 bytes); 1200k holds it, but not the
  // raw depth dump after it.
  for (const Case &c : {Case{"700k", 0}, Case{"1200k", 1}}) {
    SCOPED_TRACE(c.size);
    kt::TempDir dir;
    kt::SmallDisk disk(dir.file("disk"), c.size);
    if (!disk.mounted()) GTEST_SKIP() << disk.error();
    const kt::RunResult r = run_in(disk.path);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, names_printed(c.failing + 1));
    EXPECT_EQ(r.err, "Error: Cannot write file [" + kFiles[c.failing] + "]\n");
    for (size_t i = 0; i < kFiles.size(); i++) {
      const long long want = i < c.failing ? (i == 0 ? kRgbSize : kDepthSize) : -1;
      EXPECT_EQ(kt::file_size(disk.file(kFiles[i])), want) << kFiles[i];
    }
  }
}
