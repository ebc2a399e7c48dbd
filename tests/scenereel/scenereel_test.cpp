// End-to-end tests of scenereel on the simulated Kinect: the recording's files
// must be exactly the scene's frames in the driver's replay format, every
// listed entry must be complete however the program ends, and the recording
// must replay through the driver's replay library and the simulator.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "scene.hpp"

namespace kt = kestrel::test;
namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

constexpr int kPixels = ksim::kWidth * ksim::kHeight;
const char kDepthHeader[] = "P5 640 480 65535\n";
const char kVideoHeader[] = "P6 640 480 255\n";

// One line of INDEX.txt.
struct Listed {
  char kind;  // 'd', 'r' or 'a'
  std::string name;
  uint32_t timestamp;
};

// The summary line's figures.
struct Summary {
  long depth = -1, video = -1, accel = -1, dropped = -1;
  unsigned long long bytes = 0;
  double seconds = -1;
};

std::string as_string(const std::vector<uint8_t> &bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string read_text(const std::string &path) {
  return as_string(kt::read_file(path));
}

// The files scenereel writes for the scene: header and data.
const std::string &scene_depth_file() {
  static const std::string file = [] {
    std::string f = kDepthHeader;
    for (int i = 0; i < kPixels; i++) {
      const uint16_t raw = ksim::depth_raw11(i % ksim::kWidth, i / ksim::kWidth);
      f += (char)(raw & 0xff);
      f += (char)(raw >> 8);
    }
    return f;
  }();
  return file;
}

const std::string &scene_video_file() {
  static const std::string file = [] {
    std::string f = kVideoHeader;
    for (int i = 0; i < kPixels; i++) {
      uint8_t rgb[3];
      ksim::rgb(i % ksim::kWidth, i / ksim::kWidth, rgb);
      f.append((const char *)rgb, 3);
    }
    return f;
  }();
  return file;
}

// freenect_raw_tilt_state of the level simulated Kinect: x 0, y 819 counts
// (1 g), z 0, angle 0, a zero padding byte, status TILT_STATUS_STOPPED.
const std::string kLevelTilt("\x00\x00\x33\x03\x00\x00\x00\x00\x00\x00\x00\x00", 12);

// Parses INDEX.txt, failing the test on a line that is not an entry name or a
// last line without its newline.
// Parses "<kind>-<seconds with six decimals>-<timestamp>.<extension>", the
// extension matching the kind; false for anything else.
bool parse_entry(const std::string &line, Listed *out) {
  const size_t first = line.find('-'), last = line.rfind('-'), dot = line.rfind('.');
  if (first != 1 || last == first || dot < last) return false;
  const std::string kind = line.substr(0, 1), seconds = line.substr(2, last - 2),
                    stamp = line.substr(last + 1, dot - last - 1), ext = line.substr(dot + 1);
  const size_t point = seconds.find('.');
  const bool digits = point != std::string::npos && point > 0 && seconds.size() - point == 7 &&
                      seconds.find_first_not_of("0123456789.") == std::string::npos &&
                      seconds.find('.', point + 1) == std::string::npos && !stamp.empty() &&
                      stamp.size() <= 10 &&
                      stamp.find_first_not_of("0123456789") == std::string::npos;
  const bool kind_fits = (kind == "d" && ext == "pgm") || (kind == "r" && ext == "ppm") ||
                         (kind == "a" && ext == "dump");
  if (!digits || !kind_fits || std::stoull(stamp) > UINT32_MAX) return false;
  *out = {line[0], line, (uint32_t)std::stoull(stamp)};
  return true;
}

// Parses INDEX.txt, failing the test on a line that is not an entry name or a
// last line without its newline.
std::vector<Listed> read_index(const std::string &dir) {
  const std::string text = read_text(dir + "/INDEX.txt");
  EXPECT_TRUE(text.empty() || text.back() == '\n') << "INDEX.txt ends within a line";
  std::vector<Listed> listed;
  for (const std::string &line : kt::split_lines(text)) {
    Listed entry;
    if (parse_entry(line, &entry)) {
      listed.push_back(entry);
    } else {
      ADD_FAILURE() << "not an entry name: '" << line << "'";
    }
  }
  return listed;
}

std::vector<Listed> of_kind(const std::vector<Listed> &listed, char kind) {
  std::vector<Listed> out;
  std::copy_if(listed.begin(), listed.end(), std::back_inserter(out),
               [kind](const Listed &l) { return l.kind == kind; });
  return out;
}

Summary parse_summary(const std::string &out) {
  Summary s;
  const size_t at = out.rfind("scenereel: ");
  int end = 0;
  const int fields =
      at == std::string::npos
          ? 0
          : sscanf(out.c_str() + at,
                   "scenereel: %ld depth, %ld video, %ld accelerometer entries written, %ld "
                   "entries dropped, %llu bytes, %lf s\n%n",
                   &s.depth, &s.video, &s.accel, &s.dropped, &s.bytes, &s.seconds, &end);
  if (fields != 6 || end == 0 || at + end != out.size()) {
    ADD_FAILURE() << "no summary line at the end of: " << out;
  }
  return s;
}

// The summary agrees with INDEX.txt: counts per kind and the bytes listed.
void expect_summary_matches(const Summary &s, const std::string &dir,
                            const std::vector<Listed> &listed) {
  EXPECT_EQ(s.depth, (long)of_kind(listed, 'd').size());
  EXPECT_EQ(s.video, (long)of_kind(listed, 'r').size());
  EXPECT_EQ(s.accel, (long)of_kind(listed, 'a').size());
  unsigned long long bytes = 0;
  for (const Listed &l : listed) bytes += (unsigned long long)kt::file_size(dir + "/" + l.name);
  EXPECT_EQ(s.bytes, bytes);
}

// Checks a recording of the scene and returns its entries: every listed
// file byte for byte, and no other file but INDEX.txt. After SIGKILL one more
// file may remain: the entry being written (`.part`) or renamed but not yet
// listed. Given scenereel's standard output, also that its summary line
// agrees with the files.
std::vector<Listed> expect_scene_recording(const std::string &dir, const std::string &out = "",
                                           bool killed = false) {
  const std::vector<Listed> listed = read_index(dir);
  for (const Listed &l : listed) {
    const std::string &want = l.kind == 'd'   ? scene_depth_file()
                              : l.kind == 'r' ? scene_video_file()
                                              : kLevelTilt;
    const std::string got = read_text(dir + "/" + l.name);
    EXPECT_EQ(got.size(), want.size()) << l.name;
    EXPECT_TRUE(got == want) << l.name << " differs from the scene";
  }
  std::vector<std::string> unlisted;
  for (const auto &file : fs::directory_iterator(dir)) {
    const std::string name = file.path().filename();
    if (name != "INDEX.txt" && std::none_of(listed.begin(), listed.end(),
                                            [&](const Listed &l) { return l.name == name; })) {
      unlisted.push_back(name);
    }
  }
  EXPECT_LE(unlisted.size(), killed ? 1u : 0u) << "unlisted: " << testing::PrintToString(unlisted);
  if (!out.empty()) expect_summary_matches(parse_summary(out), dir, listed);
  return listed;
}

// The seconds a message on standard error gives: the number between `before`
// and " s<after>" in the first such message; -1 when there is none.
double seconds_in(const std::string &err, const std::string &before, const std::string &after) {
  for (size_t at = err.find(before); at != std::string::npos; at = err.find(before, at + 1)) {
    const char *number = err.c_str() + at + before.size();
    char *end = nullptr;
    const double seconds = strtod(number, &end);
    if (end != number && err.compare(end - err.c_str(), after.size() + 2, " s" + after) == 0) {
      return seconds;
    }
  }
  return -1;
}

// A raw depth dump of alignsnap (the values big-endian) as the recorded file
// holding the same values.
std::string as_recorded_depth(const std::string &dump) {
  std::string f = kDepthHeader;
  for (size_t at = sizeof kDepthHeader - 1; at + 1 < dump.size(); at += 2) {
    f += dump[at + 1];
    f += dump[at];
  }
  return f;
}

bool is_one_of(const std::string &file, const std::vector<std::string> &files) {
  return std::find(files.begin(), files.end(), file) != files.end();
}

kt::RunOptions recorder_options(std::vector<std::string> args, kt::Env env) {
  kt::RunOptions opts;
  opts.args = std::move(args);
  opts.env = std::move(env);
  return opts;
}

kt::RunResult record(std::vector<std::string> args, kt::Env env = {{"KSIM_PACE", "fast"}}) {
  return kt::run(SCENEREEL_PATH, recorder_options(std::move(args), std::move(env)));
}

// Two depth files with 11-bit values (u · a + v · b) mod 2048, and two colour
// files with bytes (pixel · a + channel) mod 256: frames unlike the scene.
const std::vector<std::string> &pattern_depth_files() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> out;
    for (const auto &[a, b] : {std::pair{7, 13}, std::pair{3, 5}}) {
      std::string f = kDepthHeader;
      for (int i = 0; i < kPixels; i++) {
        const int raw = ((i % ksim::kWidth) * a + (i / ksim::kWidth) * b) % 2048;
        f += (char)(raw & 0xff);
        f += (char)(raw >> 8);
      }
      out.push_back(f);
    }
    return out;
  }();
  return files;
}

const std::vector<std::string> &pattern_video_files() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> out;
    for (const int a : {11, 29}) {
      std::string f = kVideoHeader;
      for (int i = 0; i < 3 * kPixels; i++) f += (char)(((i / 3) * a + i % 3) % 256);
      out.push_back(f);
    }
    return out;
  }();
  return files;
}

// Records `frames` depth frames into tmp/rec while the simulator replays the
// two patterns (tmp/source, timestamps 100 and 200, cycling) instead of the
// scene, so that every recorded frame tells which one it is.
kt::RunResult record_patterns(const kt::TempDir &tmp, int frames, kt::Env env) {
  const std::string source = tmp.file("source");
  fs::create_directory(source);
  std::string index;
  for (int i = 0; i < 2; i++) {
    const std::string stamp = std::to_string(100 * (i + 1));
    kt::write_file(source + "/d-1.0-" + stamp + ".pgm", pattern_depth_files()[i]);
    kt::write_file(source + "/r-1.0-" + stamp + ".ppm", pattern_video_files()[i]);
    index += "d-1.0-" + stamp + ".pgm\nr-1.0-" + stamp + ".ppm\n";
  }
  kt::write_file(source + "/INDEX.txt", index);
  env["KSIM_REPLAY"] = source;
  return record({tmp.file("rec"), "--frames", std::to_string(frames)}, env);
}

// Runs sync_probe on the driver's replay library (not the simulator) with
// FAKENECT_PATH at the recording, and checks that every frame it fetched is
// the listed file of the same timestamp and every tilt state read is the
// recorded one (or, before the replay reached the first accelerometer entry,
// the library's initial zeros).
void expect_replays_on_driver_library(const std::string &rec, int fetches) {
  kt::TempDir seen;
  kt::RunOptions opts;
  opts.on_sim = false;
  opts.args = {seen.path, std::to_string(fetches)};
  opts.env = {{"FAKENECT_PATH", rec}, {"LD_LIBRARY_PATH", FAKENECT_DIR}};
  const kt::RunResult r = kt::run(SYNC_PROBE_PATH, opts, milliseconds(30000));
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;

  const std::vector<Listed> listed = read_index(rec);
  int frames = 0, tilts = 0;
  for (const std::string &line : kt::split_lines(r.out)) {
    std::istringstream fields(line);
    std::string what;
    fields >> what;
    if (what == "tilt") {
      int x, y, z, angle, status;
      fields >> x >> y >> z >> angle >> status;
      const bool level = x == 0 && y == 819 && z == 0 && angle == 0 && status == 0;
      const bool initial = x == 0 && y == 0 && z == 0 && angle == 0 && status == 0;
      EXPECT_TRUE(level || (initial && tilts == 0)) << line;
      tilts++;
      continue;
    }
    uint32_t timestamp = 0;
    fields >> timestamp;
    const char kind = what == "depth" ? 'd' : 'r';
    const auto entry = std::find_if(listed.begin(), listed.end(), [&](const Listed &l) {
      return l.kind == kind && l.timestamp == timestamp;
    });
    ASSERT_NE(entry, listed.end()) << "no listed entry for: " << line;
    const std::string file = read_text(rec + "/" + entry->name);
    const size_t header = kind == 'd' ? sizeof kDepthHeader - 1 : sizeof kVideoHeader - 1;
    const std::string fetched =
        read_text(seen.file(what + "-" + std::to_string(frames / 2) + ".bin"));
    EXPECT_TRUE(fetched == file.substr(header))
        << line << ": fetched frame differs from " << entry->name;
    frames++;
  }
  EXPECT_EQ(frames, 2 * fetches);
  EXPECT_EQ(tilts, fetches);
}

}  // namespace

TEST(Scenereel, records_the_scene_byte_for_byte_in_recording_order) {
  // Timestamps start near the top of 32 bits, so they wrap during the
  // recording and must be written unsigned. An empty folder is taken as new.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  fs::create_directory(rec);
  const kt::RunResult r = record({rec, "--frames", "6"},
                                 {{"KSIM_PACE", "fast"}, {"KSIM_FIRST_TIMESTAMP", "4290000000"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");

  const std::vector<Listed> listed = expect_scene_recording(rec, r.out);
  std::vector<std::string> order;
  for (const Listed &l : listed) order.push_back(l.kind + std::to_string(l.timestamp));
  EXPECT_EQ(order,
            (std::vector<std::string>{"d4290000000", "r4290000000", "a4290000000", "d4292000000",
                                      "r4292000000", "a4292000000", "d4294000000", "r4294000000",
                                      "a4294000000", "d1032704", "r1032704", "a1032704", "d3032704",
                                      "r3032704", "a3032704", "d5032704", "r5032704", "a5032704"}));
  // Arrival times never go back.
  double previous = 0;
  for (const Listed &l : listed) {
    const double secs = std::stod(l.name.substr(2));
    EXPECT_GE(secs, previous) << l.name;
    previous = secs;
  }
  const Summary s = parse_summary(r.out);
  EXPECT_EQ(s.dropped, 0);
  EXPECT_EQ(s.bytes, 6ull * (614417 + 921615 + 12));
}

TEST(Scenereel, replays_on_the_drivers_replay_library) {
  // Recorded at real-time pacing, so the library replays it at that pace.
  kt::TempDir tmp;
  const kt::RunResult r = record_patterns(tmp, 20, {});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // The synchronous wrapper may skip frames, and waits for ever once the
  // recording has run out: fetch far fewer than were recorded.
  expect_replays_on_driver_library(tmp.file("rec"), 4);
}

TEST(Scenereel, replays_through_the_simulator_what_it_recorded) {
  // What scenereel records, and what alignsnap then sees, are patterns, not
  // the scene the simulator would fall back to.
  kt::TempDir tmp;
  const std::vector<std::string> &depth = pattern_depth_files(), &video = pattern_video_files();
  const std::string rec = tmp.file("rec");
  const kt::RunResult r = record_patterns(tmp, 4, {{"KSIM_PACE", "fast"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;

  // The source cycles: frames 0 and 2 are its first, 1 and 3 its second.
  const std::vector<Listed> listed = read_index(rec);
  const std::vector<Listed> d = of_kind(listed, 'd'), v = of_kind(listed, 'r');
  ASSERT_EQ(d.size(), 4u);
  ASSERT_EQ(v.size(), 4u);
  for (size_t i = 0; i < 4; i++) {
    EXPECT_EQ(d[i].timestamp, 100 * (i % 2 + 1));
    EXPECT_TRUE(read_text(rec + "/" + d[i].name) == depth[i % 2]) << d[i].name;
    EXPECT_TRUE(read_text(rec + "/" + v[i].name) == video[i % 2]) << v[i].name;
  }

  // alignsnap on the replayed recording dumps recorded frames: its colour
  // file is a recorded PPM, its raw depth a recorded frame's values
  // big-endian. Which one it gets depends on the machine: a busy one makes
  // the simulator skip frames, as a device overwrites frames nobody read.
  kt::RunOptions opts;
  opts.cwd = tmp.path;
  opts.env = {{"KSIM_REPLAY", rec}};
  const kt::RunResult snap = kt::run(kt::tool_path("alignsnap"), opts);
  ASSERT_EQ(snap.exit_code, 0) << snap.err;
  EXPECT_TRUE(is_one_of(read_text(tmp.file("registration_test_rgb.ppm")), video))
      << "the colour dump is no recorded frame";
  const std::string raw = read_text(tmp.file("registration_test_depth_raw.pgm"));
  ASSERT_EQ(raw.size(), depth[0].size());
  EXPECT_TRUE(is_one_of(as_recorded_depth(raw), depth))
      << "the raw depth dump is no recorded frame";
}

TEST(Scenereel, the_simulator_replays_the_recorded_accelerometer) {
  // Recorded level, replayed while swayloop tilts the motor: every line
  // reports the recorded state, not the motor's.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  ASSERT_EQ(record({rec, "--frames", "2"}).exit_code, 0);
  kt::RunOptions opts;
  opts.env = {{"KSIM_REPLAY", rec}};
  opts.preload = {kt::no_sleep_lib()};
  kt::Process p(kt::tool_path("swayloop"), opts);
  std::vector<std::string> lines;
  for (int i = 0; i < 400 && lines.size() < 5; i++) {
    std::this_thread::sleep_for(milliseconds(50));
    lines = kt::split_lines(p.out_so_far());
  }
  p.signal(SIGINT);
  ASSERT_GE(lines.size(), 5u);
  for (const std::string &line : lines) {
    EXPECT_NE(line.find("accel[0.000000,9.806650,0.000000]"), std::string::npos) << line;
  }
}

TEST(Scenereel, stop_signals_end_an_orderly_recording) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(sig));
    kt::TempDir tmp;
    const std::string rec = tmp.file("rec");
    kt::Process p(SCENEREEL_PATH, recorder_options({rec}, {}));
    // Real-time pacing: wait for the third depth entry to be listed.
    for (int i = 0; i < 200 && of_kind(read_index(rec), 'd').size() < 3; i++) {
      std::this_thread::sleep_for(milliseconds(50));
    }
    p.signal(sig);
    const kt::RunResult r = p.wait(milliseconds(10000));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_GE(of_kind(expect_scene_recording(rec, r.out), 'd').size(), 3u);
  }
}

TEST(Scenereel, seconds_limit_ends_a_real_time_recording) {
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  const kt::RunResult r = record({rec, "--seconds", "0.5"}, {});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Summary s = parse_summary(r.out);
  EXPECT_GE(s.seconds, 0.5);
  EXPECT_LT(s.seconds, 1.5);
  // 30 frames a second at most; a busy machine makes the simulator skip some.
  EXPECT_GE(s.depth, 3);
  EXPECT_LE(s.depth, 16);
  expect_scene_recording(rec, r.out);
}

TEST(Scenereel, a_lost_device_ends_with_status_1_and_a_valid_recording) {
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  const kt::RunResult r = record({rec}, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "5"}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("scenereel: lost the Kinect"), std::string::npos) << r.err;
  const std::vector<Listed> listed = expect_scene_recording(rec, r.out);
  EXPECT_EQ(of_kind(listed, 'd').size(), 5u);
  EXPECT_EQ(of_kind(listed, 'r').size(), 5u);
}

TEST(Scenereel, frames_the_disk_cannot_take_are_dropped_counted_and_reported) {
  // The first entry's write waits until 60 pairs have been delivered: more
  // than the queue holds, however busy the machine. The event loop goes on
  // regardless.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec"), trace = tmp.file("trace.txt"), go_on = tmp.file("go_on");
  kt::RunOptions opts = recorder_options({rec, "--frames", "120"},
                                         {{"KSTALL_WRITEV_UNTIL", go_on}, {"KSIM_TRACE", trace}});
  opts.preload = {DISK_FAULT_LIB};
  kt::Process p(SCENEREEL_PATH, opts);
  for (int i = 0; i < 600 && kt::calls_named(kt::read_trace(trace), "@video").size() < 60; i++) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  kt::write_file(go_on, "");
  const kt::RunResult r = p.wait(milliseconds(30000));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Summary s = parse_summary(r.out);
  EXPECT_GT(s.dropped, 0);
  EXPECT_NE(r.err.find(std::to_string(s.dropped) + " entries dropped: the disk did not keep up"),
            std::string::npos)
      << r.err;
  // Every frame delivered and every state read is either listed or counted.
  const std::vector<kt::TraceCall> calls = kt::read_trace(trace);
  const size_t delivered = kt::calls_named(calls, "@depth").size() +
                           kt::calls_named(calls, "@video").size() +
                           kt::calls_named(calls, "freenect_update_tilt_state").size();
  EXPECT_EQ((size_t)(s.depth + s.video + s.accel + s.dropped), delivered);
  EXPECT_EQ(kt::calls_named(calls, "@depth").size(), 120u);
  expect_scene_recording(rec, r.out);
}

TEST(Scenereel, an_accelerometer_state_it_cannot_read_is_counted_and_reported) {
  // From the fifth read on the driver fails every state read (one a depth
  // frame in fast pacing): each is an entry lost, counted and reported with
  // the driver's answer; the frames go on and the recording stays valid.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  const kt::RunResult r =
      record({rec, "--frames", "15"},
             {{"KSIM_PACE", "fast"}, {"KSIM_FAIL", "freenect_update_tilt_state@5"}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Summary s = parse_summary(r.out);
  EXPECT_EQ(s.depth, 15);
  EXPECT_EQ(s.accel, 4);
  EXPECT_EQ(s.dropped, 11);
  const std::string reason = "(freenect_update_tilt_state returned -1)";
  EXPECT_NE(r.err.find("scenereel: cannot read the accelerometer " + reason), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("scenereel: 11 accelerometer entries dropped: the state could not be read " +
                       reason),
            std::string::npos)
      << r.err;
  EXPECT_EQ(of_kind(expect_scene_recording(rec, r.out), 'a').size(), 4u);
}

TEST(Scenereel, silent_streams_are_reported_with_how_long_and_the_recording_goes_on) {
  // First the driver delivers nothing from its 100th pass on, to the end;
  // then a recording is stopped (SIGSTOP) for 3.5 s, after which frames come
  // again. Each silence is reported with its length; both recordings stay valid.
  kt::TempDir tmp;
  for (const bool resumes : {false, true}) {
    SCOPED_TRACE(resumes ? "stopped, then frames again" : "silent to the end");
    const std::string rec = tmp.file(resumes ? "resumes" : "silent");
    kt::Process p(
        SCENEREEL_PATH,
        recorder_options(
            {rec},
            resumes ? kt::Env{} : kt::Env{{"KSIM_FAIL", "freenect_process_events_timeout@100=0"}}));
    const std::string awaited = resumes ? "frames again after" : "frame for";
    if (resumes) {
      for (int i = 0; i < 200 && read_index(rec).empty(); i++) {
        std::this_thread::sleep_for(milliseconds(50));
      }
      p.signal(SIGSTOP);
      std::this_thread::sleep_for(milliseconds(3500));
      p.signal(SIGCONT);
    }
    ASSERT_TRUE(p.wait_for_err("depth " + awaited, milliseconds(20000)) &&
                p.wait_for_err("video " + awaited, milliseconds(20000)))
        << p.err_so_far();
    p.signal(SIGINT);
    const kt::RunResult r = p.wait(milliseconds(10000));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const std::string stream : {"depth", "video"}) {
      if (resumes) {
        EXPECT_GE(seconds_in(r.err, stream + " frames again after ", " without one"), 3.4) << r.err;
      } else {
        EXPECT_GE(seconds_in(r.err, "no " + stream + " frame for ", "; still recording"), 3.0)
            << r.err;
        EXPECT_GE(seconds_in(r.err, "no " + stream + " frame in the last ", " of the recording"),
                  3.0)
            << r.err;
      }
    }
    expect_scene_recording(rec, r.out);
  }
}

TEST(Scenereel, sigkill_at_random_moments_leaves_every_listed_entry_complete) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_ms(0, 400);
  for (int run = 0; run < 20; run++) {
    SCOPED_TRACE("run " + std::to_string(run));
    kt::TempDir tmp;
    const std::string rec = tmp.file("rec");
    kt::Process p(SCENEREEL_PATH, recorder_options({rec}, {{"KSIM_PACE", "fast"}}));
    std::this_thread::sleep_for(milliseconds(delay_ms(random)));
    p.signal(SIGKILL);
    p.wait(milliseconds(10000));
    if (!kt::file_exists(rec + "/INDEX.txt")) continue;  // killed before it began
    const std::vector<Listed> listed = expect_scene_recording(rec, "", true);
    // One fetch, from a recording long enough that the wrapper is not left
    // waiting at its end.
    if (of_kind(listed, 'd').size() >= 10) expect_replays_on_driver_library(rec, 1);
    if (HasFailure()) break;
  }
}

TEST(Scenereel, a_full_disk_ends_with_status_1_and_a_valid_recording) {
  kt::TempDir tmp;
  kt::SmallDisk disk(tmp.file("disk"), "6m");
  if (!disk.mounted()) GTEST_SKIP() << disk.error();
  const std::string rec = disk.file("rec");
  const kt::RunResult r = record({rec, "--frames", "100"}, {});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("No space left on device; the recording ends at its last listed entry"),
            std::string::npos)
      << r.err;
  // 6 MiB holds about four pairs.
  const std::vector<Listed> listed = expect_scene_recording(rec, r.out);
  EXPECT_GE(of_kind(listed, 'd').size(), 2u);
  EXPECT_LE(of_kind(listed, 'd').size(), 4u);
}

TEST(Scenereel, a_line_of_the_index_cut_short_is_taken_back) {
  // The fourth line of INDEX.txt is half written when the disk fills: the
  // half line goes, and so does the entry file it would have listed.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  kt::RunOptions opts =
      recorder_options({rec, "--frames", "10"}, {{"KSIM_PACE", "fast"}, {"KSHORT_WRITE", "4"}});
  opts.preload = {DISK_FAULT_LIB};
  const kt::RunResult r = kt::run(SCENEREEL_PATH, opts);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(".pgm to INDEX.txt: No space left on device; the recording ends at its "
                       "last listed entry"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(expect_scene_recording(rec, r.out).size(), 3u);
}

TEST(Scenereel, closed_standard_descriptors_are_reopened_on_dev_null) {
  // Started with 0, 1 and 2 closed, scenereel would otherwise open the folder
  // and INDEX.txt on them, and any message would land in the recording.
  kt::TempDir tmp;
  const std::string rec = tmp.file("rec");
  kt::Process p(kt::kShell,
                kt::redirected(SCENEREEL_PATH, "<&- >&- 2>&-", recorder_options({rec}, {})));
  for (int i = 0; i < 200 && read_index(rec).size() < 3; i++) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  const std::string fds = "/proc/" + std::to_string(p.pid()) + "/fd/";
  for (const char *fd : {"0", "1", "2"}) {
    std::error_code error;
    EXPECT_EQ(fs::read_symlink(fds + fd, error), "/dev/null") << "descriptor " << fd;
  }
  p.signal(SIGINT);
  EXPECT_EQ(p.wait(milliseconds(10000)).exit_code, 0);
  EXPECT_GE(expect_scene_recording(rec).size(), 3u);
}

TEST(Scenereel, refusals_and_missing_devices) {
  struct Case {
    const char *what;
    std::vector<std::string> args;  // DIR is added first
    kt::Env env;
    std::string existing;  // "file": DIR holds a file; "plain": DIR is a plain file
    int status;
    const char *err;  // part of standard error
  };
  const Case cases[] = {
      {"non-empty folder", {}, {}, "file", 2, "is not empty; a recording is never overwritten"},
      {"plain file", {}, {}, "plain", 2, "scenereel: cannot use"},
      {"no Kinect", {}, {{"KSIM_DEVICES", "0"}}, "", 1, "no Kinect with index 0 (0 found)"},
      {"index too high", {"--device", "1"}, {}, "", 1, "no Kinect with index 1 (1 found)"},
      {"device does not open",
       {},
       {{"KSIM_FAIL", "freenect_open_device"}},
       "",
       1,
       "cannot open Kinect 0"},
      {"streams do not start",
       {},
       {{"KSIM_FAIL", "freenect_start_video"}},
       "",
       1,
       "does not start its depth and video streams"},
      {"no frame count", {"--frames"}, {}, "", 2, "usage: scenereel DIR"},
      {"zero frames", {"--frames", "0"}, {}, "", 2, "--frames needs a positive whole number"},
      {"bad seconds", {"--seconds", "soon"}, {}, "", 2, "--seconds needs a positive number"},
      {"unknown option", {"--fast"}, {}, "", 2, "usage: scenereel DIR"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    kt::TempDir tmp;
    const std::string rec = tmp.file("rec");
    if (c.existing == "file") {
      fs::create_directory(rec);
      kt::write_file(rec + "/keep.txt", "old");
    } else if (c.existing == "plain") {
      kt::write_file(rec, "old");
    }
    std::vector<std::string> args = {rec};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const kt::RunResult r = record(args, c.env);
    EXPECT_EQ(r.exit_code, c.status);
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    if (c.existing == "file") {
      EXPECT_EQ(read_text(rec + "/keep.txt"), "old");
      EXPECT_FALSE(kt::file_exists(rec + "/INDEX.txt"));
    } else if (c.existing == "plain") {
      EXPECT_EQ(read_text(rec), "old");
    } else {
      EXPECT_FALSE(kt::file_exists(rec)) << "a refused or failed start leaves no folder";
    }
  }
}
