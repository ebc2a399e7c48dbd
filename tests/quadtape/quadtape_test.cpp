// End-to-end tests of quadtape on the simulated Kinect: however a recording
// ends (SIGINT, the stream ending, a full disk, the 32-bit size limit), the
// four WAV files must hold exactly the samples the count lines announced, with
// headers that agree with the files' lengths.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "scene.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

constexpr int kMics = 4;
const char kSigintLine[] = "Caught SIGINT, cleaning up\n";
const char *const kFiles[kMics] = {"channel1.wav", "channel2.wav", "channel3.wav", "channel4.wav"};

// The header of a file holding n samples.
std::vector<uint8_t> header_for(uint32_t n) {
  std::vector<uint8_t> h = {'R', 'I', 'F',  'F',  0,   0,   0,    0,    'W', 'A', 'V',
                            'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                            1,   0,   0x80, 0x3e, 0,   0,   0x00, 0xfa, 0,   0,   4,
                            0,   32,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
  const uint32_t riff = 36 + 4 * n, data = 4 * n;
  for (int i = 0; i < 4; i++) {
    h[4 + i] = (uint8_t)(riff >> (8 * i));
    h[40 + i] = (uint8_t)(data >> (8 * i));
  }
  return h;
}

// The totals of the "Sample received." lines, in order.
std::vector<long long> counts_printed(const std::string &out) {
  static const std::string prefix = "Sample received.  Total samples recorded: ";
  std::vector<long long> counts;
  for (size_t at = out.find(prefix); at != std::string::npos; at = out.find(prefix, at + 1)) {
    counts.push_back(std::stoll(out.substr(at + prefix.size())));
  }
  return counts;
}

long long last_count(const std::string &out) {
  const std::vector<long long> counts = counts_printed(out);
  return counts.empty() ? 0 : counts.back();
}

int occurrences(const std::string &text, const std::string &needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) n++;
  return n;
}

// Checks that each file is the header for n samples followed by the first n
// samples of its microphone.
void expect_recording(const std::string &dir, uint32_t n) {
  for (int mic = 0; mic < kMics; mic++) {
    SCOPED_TRACE(kFiles[mic]);
    const std::vector<uint8_t> bytes = kt::read_file(dir + "/" + kFiles[mic]);
    ASSERT_EQ(bytes.size(), 44 + 4 * (size_t)n);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 44), header_for(n));
    int mismatches = 0;
    for (uint32_t i = 0; i < n; i++) {
      const int32_t got = (int32_t)kt::le32(bytes.data() + 44 + 4 * i);
      const int32_t want = ksim::audio_sample(mic, i);
      if (got != want && mismatches++ < 5) {
        ADD_FAILURE() << "sample " << i << ": " << got << " instead of " << want;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

// Checks only lengths against headers, for files too big to compare.
void expect_sizes_agree(const std::string &dir, uint32_t n) {
  for (int mic = 0; mic < kMics; mic++) {
    SCOPED_TRACE(kFiles[mic]);
    const std::string path = dir + "/" + kFiles[mic];
    EXPECT_EQ(kt::file_size(path), 44 + 4 * (long long)n);
    std::vector<uint8_t> head(44);
    if (FILE *f = fopen(path.c_str(), "rb")) {
      head.resize(fread(head.data(), 1, head.size(), f));
      fclose(f);
    }
    EXPECT_EQ(head, header_for(n));
  }
}

void expect_no_files(const std::string &dir) {
  for (const char *name : kFiles) EXPECT_FALSE(kt::file_exists(dir + "/" + name)) << name;
}

kt::RunOptions in_dir(const std::string &dir, kt::Env env) {
  kt::RunOptions opts;
  opts.cwd = dir;
  opts.env = std::move(env);
  return opts;
}

kt::RunResult run_in(const std::string &dir, kt::Env env) {
  return kt::run(kt::tool_path("quadtape"), in_dir(dir, std::move(env)));
}

// A FIFO in `dir` that the test holds open without reading it: a reader that
// has stopped reading. The tool's output goes there with the redirection
// ">stalled".
struct StalledReader {
  explicit StalledReader(const std::string &dir) : path(dir + "/stalled") {
    if (::mkfifo(path.c_str(), 0600) == 0) fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
  }
  ~StalledReader() {
    if (fd >= 0) ::close(fd);
  }
  // Bytes written and not read.
  int pending() const {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
  }
  // Reads everything written so far.
  std::string drain() const {
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) out.append(buf, (size_t)n);
    return out;
  }
  std::string path;
  int fd = -1;
};

}  // namespace

TEST(Quadtape, records_every_microphone_until_the_stream_ends) {
  kt::TempDir dir;
  const std::string trace = dir.file("trace.txt");
  const kt::RunResult r =
      run_in(dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "10"}, {"KSIM_TRACE", trace}});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(r.out.find("Number of devices found: 1\n"), 0u) << r.out;
  EXPECT_EQ(counts_printed(r.out),
            (std::vector<long long>{256, 512, 768, 1024, 1280, 1536, 1792, 2048, 2304, 2560}));
  EXPECT_EQ(occurrences(r.out, kSigintLine), 0);
  expect_recording(dir.path, 2560);

  // The set-up calls in order; the shutdown is the only release.
  const std::set<std::string> setup = {"freenect_init",
                                       "freenect_set_log_level",
                                       "freenect_select_subdevices",
                                       "freenect_num_devices",
                                       "freenect_open_device",
                                       "freenect_set_user",
                                       "freenect_set_audio_in_callback",
                                       "freenect_start_audio",
                                       "freenect_stop_audio",
                                       "freenect_close_device",
                                       "freenect_shutdown"};
  std::vector<std::string> order;
  std::vector<kt::TraceCall> calls;
  for (const kt::TraceCall &call : kt::read_trace(trace)) {
    if (setup.count(call.name)) {
      order.push_back(call.name);
      calls.push_back(call);
    }
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{
                "freenect_init", "freenect_set_log_level", "freenect_select_subdevices",
                "freenect_num_devices", "freenect_open_device", "freenect_set_user",
                "freenect_set_audio_in_callback", "freenect_start_audio", "freenect_shutdown"}));
  if (order.size() == 9) {
    EXPECT_EQ(calls[1].args, std::vector<std::string>{"6"});
    EXPECT_EQ(calls[2].args, std::vector<std::string>{"4"});
    EXPECT_EQ(calls[4].args, std::vector<std::string>{"0"});
    EXPECT_EQ(calls[6].args, std::vector<std::string>{"set"});
  }
}

TEST(Quadtape, counts_are_cumulative_and_old_recordings_are_overwritten) {
  kt::TempDir dir;
  for (const char *name : kFiles) kt::write_file(dir.file(name), std::string(100000, 'x'));
  const kt::RunResult r = run_in(
      dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "4"}, {"KSIM_AUDIO_SAMPLES", "100,37"}});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(counts_printed(r.out), (std::vector<long long>{100, 137, 237, 274}));
  expect_recording(dir.path, 274);
}

// SIGINT ends a recording with its line; SIGTERM, SIGQUIT and SIGHUP (a
// kill, Ctrl-\, the terminal closing) end it the same way, silently.
TEST(Quadtape, stop_signals_after_n_samples_finish_headers) {
  for (const int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    kt::TempDir dir;
    kt::Process p(kt::tool_path("quadtape"), in_dir(dir.path, {}));
    ASSERT_TRUE(p.wait_for_out("Total samples recorded: 1280\n", milliseconds(10000)))
        << p.out_so_far();
    p.signal(sig);
    const kt::RunResult r = p.wait(milliseconds(10000));
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(occurrences(r.out, kSigintLine), sig == SIGINT ? 1 : 0) << r.out;
    const long long n = last_count(r.out);
    EXPECT_GE(n, 1280);
    expect_recording(dir.path, (uint32_t)n);
  }
}

TEST(Quadtape, a_reader_that_quits_early_does_not_end_the_recording) {
  // The count lines of 3000 deliveries (over 100 kB) overflow the pipe once
  // head has quit, so quadtape certainly writes to a closed pipe.
  kt::TempDir dir;
  kt::RunOptions opts = in_dir(dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "3000"}});
  opts.args = {"-c", "\"$0\" | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}",
               kt::tool_path("quadtape")};
  const kt::RunResult r = kt::run("/bin/bash", opts);
  ASSERT_EQ(r.exit_code, 0);
  expect_recording(dir.path, 3000 * 256);
}

// A reader that stops reading fills the pipe; the recording goes on to the
// stream's end, and a SIGINT still finishes the headers. Only whole status
// lines reach the pipe.
TEST(Quadtape, a_stalled_reader_stops_neither_the_recording_nor_its_stop) {
  {
    SCOPED_TRACE("to the stream's end");
    kt::TempDir dir;
    StalledReader reader(dir.path);
    ASSERT_GE(reader.fd, 0);
    // 3000 count lines, over 100 kB, are more than the pipe holds.
    const kt::RunResult r = kt::run(
        kt::kShell,
        kt::redirected(kt::tool_path("quadtape"), ">" + reader.path,
                       in_dir(dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "3000"}})));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    expect_recording(dir.path, 3000 * 256);
    const std::string out = reader.drain();
    EXPECT_GT(out.size(), 60000u);
    EXPECT_EQ(out.back(), '\n');
  }
  {
    SCOPED_TRACE("SIGINT");
    kt::TempDir dir;
    StalledReader reader(dir.path);
    ASSERT_GE(reader.fd, 0);
    kt::Process p(kt::kShell, kt::redirected(kt::tool_path("quadtape"), ">" + reader.path,
                                             in_dir(dir.path, {{"KSIM_PACE", "fast"}})));
    const auto until = std::chrono::steady_clock::now() + milliseconds(20000);
    while (reader.pending() < 60000 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(milliseconds(20));
    ASSERT_GE(reader.pending(), 60000) << "the pipe never filled";
    std::this_thread::sleep_for(milliseconds(200));
    p.signal(SIGINT);
    const kt::RunResult r = p.wait(milliseconds(10000));
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0);
    const long long size = kt::file_size(dir.file(kFiles[0]));
    ASSERT_GE(size, 44);
    EXPECT_GT(size, 44 + 4 * 256);
    expect_sizes_agree(dir.path, (uint32_t)((size - 44) / 4));
    EXPECT_EQ(reader.drain().back(), '\n');
  }
}

// With standard output (or all three standard descriptors) closed, the WAV
// files must not take their places and receive the status lines.
TEST(Quadtape, closed_standard_descriptors_never_receive_the_status_lines) {
  for (const char *closed : {">&-", "<&- >&- 2>&-"}) {
    SCOPED_TRACE(closed);
    kt::TempDir dir;
    const kt::RunResult r = kt::run(
        kt::kShell,
        kt::redirected(kt::tool_path("quadtape"), closed,
                       in_dir(dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "10"}})));
    EXPECT_EQ(r.exit_code, 0);
    expect_recording(dir.path, 2560);
  }
}

TEST(Quadtape, stopping_before_any_delivery_leaves_empty_recordings) {
  {
    SCOPED_TRACE("event processing fails at once");
    kt::TempDir dir;
    const kt::RunResult r = run_in(dir.path, {{"KSIM_FAIL", "freenect_process_events@1"}});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(occurrences(r.out, kSigintLine), 0);
    EXPECT_TRUE(counts_printed(r.out).empty());
    expect_recording(dir.path, 0);
  }
  {
    SCOPED_TRACE("SIGINT while audio does not start");
    kt::TempDir dir;
    kt::Process p(kt::tool_path("quadtape"),
                  in_dir(dir.path, {{"KSIM_FAIL", "freenect_start_audio"}}));
    ASSERT_TRUE(p.wait_for_out("Number of devices found: 1\n", milliseconds(10000)));
    // Give the program time to install its handler before the signal.
    std::this_thread::sleep_for(milliseconds(500));
    p.signal(SIGINT);
    const kt::RunResult r = p.wait(milliseconds(10000));
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(occurrences(r.out, kSigintLine), 1);
    expect_recording(dir.path, 0);
  }
}

TEST(Quadtape, failing_event_processing_ends_like_sigint_without_its_message) {
  kt::TempDir dir;
  const kt::RunResult r =
      run_in(dir.path, {{"KSIM_PACE", "fast"}, {"KSIM_FAIL", "freenect_process_events@7"}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(occurrences(r.out, kSigintLine), 0);
  const long long n = last_count(r.out);
  EXPECT_GT(n, 0);
  expect_recording(dir.path, (uint32_t)n);
}

TEST(Quadtape, startup_failures_end_with_status_1_and_no_files) {
  struct Case {
    const char *what;
    kt::Env env;
    const char *out;  // the whole standard output
  };
  const Case cases[] = {
      {"no context", {{"KSIM_FAIL", "freenect_init"}}, "freenect_init() failed\n"},
      {"no device", {{"KSIM_DEVICES", "0"}}, "Number of devices found: 0\n"},
      {"negative count",
       {{"KSIM_FAIL", "freenect_num_devices=-3"}},
       "Number of devices found: -3\n"},
      {"device cannot open",
       {{"KSIM_FAIL", "freenect_open_device=-5"}},
       "Number of devices found: 1\nCould not open device\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    kt::TempDir dir;
    const std::string trace = dir.file("trace.txt");
    kt::Env env = c.env;
    env["KSIM_TRACE"] = trace;
    const kt::RunResult r = run_in(dir.path, env);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, c.out);
    expect_no_files(dir.path);
    const std::vector<std::string> names = kt::call_names(kt::read_trace(trace));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), names.size() == 1 ? "freenect_init" : "freenect_shutdown");
  }
}

TEST(Quadtape, a_file_that_cannot_be_created_ends_the_startup) {
  // A directory of the same name stops even root from creating the file.
  kt::TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("channel3.wav").c_str(), 0755), 0);
  const std::string trace = dir.file("trace.txt");
  const kt::RunResult r = run_in(dir.path, {{"KSIM_TRACE", trace}});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Number of devices found: 1\nCould not create channel3.wav\n");
  // The files created before it are removed again, not left empty.
  EXPECT_FALSE(kt::file_exists(dir.file("channel1.wav")));
  EXPECT_FALSE(kt::file_exists(dir.file("channel2.wav")));
  EXPECT_FALSE(kt::file_exists(dir.file("channel4.wav")));
  const std::vector<std::string> names = kt::call_names(kt::read_trace(trace));
  EXPECT_EQ(std::count(names.begin(), names.end(), "freenect_start_audio"), 0);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "freenect_shutdown");
}

TEST(Quadtape, a_take_that_cannot_start_keeps_the_previous_take) {
  kt::TempDir dir;
  for (int k = 0; k < 3; k++) kt::write_file(dir.file(kFiles[k]), "take " + std::to_string(k));
  ASSERT_EQ(::mkdir(dir.file("channel4.wav").c_str(), 0755), 0);
  const kt::RunResult r = run_in(dir.path, {});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "Number of devices found: 1\nCould not create channel4.wav\n");
  for (int k = 0; k < 3; k++) {
    const std::vector<uint8_t> bytes = kt::read_file(dir.file(kFiles[k]));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "take " + std::to_string(k)) << kFiles[k];
  }
}

TEST(Quadtape, sigint_at_random_moments_never_leaves_inconsistent_headers) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delay_us(0, 30000);
  for (int run = 0; run < 50; run++) {
    SCOPED_TRACE("run " + std::to_string(run));
    kt::TempDir dir;
    kt::Process p(kt::tool_path("quadtape"), in_dir(dir.path, {{"KSIM_PACE", "fast"}}));
    // The first count line means the handler is installed.
    ASSERT_TRUE(p.wait_for_out("Total samples recorded:", milliseconds(10000)));
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    p.signal(SIGINT);
    const kt::RunResult r = p.wait(milliseconds(10000));
    ASSERT_EQ(r.exit_code, 0) << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
    ASSERT_EQ(occurrences(r.out, kSigintLine), 1);
    expect_sizes_agree(dir.path, (uint32_t)last_count(r.out));
    if (HasFailure()) break;
  }
}

TEST(Quadtape, stops_cleanly_at_the_32_bit_size_limit) {
  // The interposer makes every delivery claim 2^28 samples and writes them as
  // holes, so four deliveries cross the limit of 1073741814 samples per file
  // (36 + 4n must fit 32 bits) without filling the disk.
  kt::TempDir dir;
  kt::RunOptions opts = in_dir(dir.path, {{"KSIM_PACE", "fast"}, {"KTAPE_DELIVERY", "268435456"}});
  opts.preload = {BIG_DELIVERY_LIB};
  const kt::RunResult r = kt::run(kt::tool_path("quadtape"), opts);
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(counts_printed(r.out),
            (std::vector<long long>{268435456, 536870912, 805306368, 1073741814}));
  EXPECT_NE(r.out.find("Total samples recorded: 1073741814\nThe WAV files are full, recording "
                       "stopped\n"),
            std::string::npos)
      << r.out;
  expect_sizes_agree(dir.path, 1073741814);
  EXPECT_EQ(kt::le32(header_for(1073741814).data() + 4), 4294967292u);
}

TEST(Quadtape, a_full_disk_is_reported_and_the_files_stay_consistent) {
  kt::TempDir dir;
  kt::SmallDisk disk(dir.file("disk"), "64k");
  if (!disk.mounted()) GTEST_SKIP() << disk.error();
  const kt::RunResult r = run_in(disk.path, {{"KSIM_PACE", "fast"}, {"KSIM_END_AFTER", "1000"}});
  EXPECT_EQ(r.exit_code, 1);
  int failures = 0;
  for (const char *name : kFiles) {
    failures +=
        occurrences(r.out, std::string("Could not write ") + name + ", recording stopped\n");
  }
  EXPECT_EQ(failures, 1) << r.out;
  const long long n = last_count(r.out);
  EXPECT_GT(n, 0);
  EXPECT_LT(n, 256000);
  expect_recording(disk.path, (uint32_t)n);
}
