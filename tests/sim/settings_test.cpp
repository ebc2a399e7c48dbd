// End-to-end tests of the simulator's settings as a user meets them: a tool
// (streamcheck) run on the simulator with a broken replay folder or a
// misspelt KSIM_FAIL entry must report it on standard error, promptly and
// without crashing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "file_helpers.hpp"
#include "harness.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

// A replay folder whose INDEX.txt lists `entry` alone.
void index_of(const kt::TempDir &dir, const std::string &entry) {
  kt::write_file(dir.file("INDEX.txt"), entry + "\n");
}

// A sparse file of `bytes` bytes starting with `head`: huge, but no data on disk.
void sparse_file(const std::string &path, const std::string &head, off_t bytes) {
  kt::write_file(path, head);
  ASSERT_EQ(::truncate(path.c_str(), bytes), 0);
}

}  // namespace

// Every broken recording makes freenect_init fail at once (streamcheck then
// exits with its result, -1) with one "ksim: replay:" line saying why:
// only regular files are read, and only the bytes a frame needs.
TEST(Replay, broken_folders_are_reported_without_hanging_or_crashing) {
  struct Case {
    const char *what;
    std::function<void(const kt::TempDir &)> make;
    std::string error;  // the end of the line on standard error
  };
  constexpr off_t k3GiB = 3ll << 30;
  const Case cases[] = {
      {"no INDEX.txt", [](const kt::TempDir &) {}, "/INDEX.txt: No such file or directory\n"},
      {"INDEX.txt is a directory",
       [](const kt::TempDir &d) { ASSERT_EQ(::mkdir(d.file("INDEX.txt").c_str(), 0755), 0); },
       "/INDEX.txt: not a regular file\n"},
      {"a listed file is missing", [](const kt::TempDir &d) { index_of(d, "d-1.5-0.pgm"); },
       "/d-1.5-0.pgm: cannot read it: No such file or directory\n"},
      {"a listed file is a directory",
       [](const kt::TempDir &d) {
         index_of(d, "d-1.5-0.pgm");
         ASSERT_EQ(::mkdir(d.file("d-1.5-0.pgm").c_str(), 0755), 0);
       },
       "/d-1.5-0.pgm: cannot read it: not a regular file\n"},
      {"a listed file is a FIFO nobody writes",
       [](const kt::TempDir &d) {
         index_of(d, "r-1.5-0.ppm");
         ASSERT_EQ(::mkfifo(d.file("r-1.5-0.ppm").c_str(), 0600), 0);
       },
       "/r-1.5-0.ppm: cannot read it: not a regular file\n"},
      {"a listed file is a link to /dev/zero",
       [](const kt::TempDir &d) {
         index_of(d, "a-1.5-0.dump");
         ASSERT_EQ(::symlink("/dev/zero", d.file("a-1.5-0.dump").c_str()), 0);
       },
       "/a-1.5-0.dump: cannot read it: not a regular file\n"},
      {"a 3 GiB depth frame is read only as far as a frame goes",
       [](const kt::TempDir &d) {
         index_of(d, "d-1.5-0.pgm");
         sparse_file(d.file("d-1.5-0.pgm"), "P5 640 480 65535\n", k3GiB);
         index_of(d, "d-1.5-0.pgm\nd-1.5-1.pgm");  // the second is missing
       },
       "/d-1.5-1.pgm: cannot read it: No such file or directory\n"},
      {"a 3 GiB audio dump",
       [](const kt::TempDir &d) {
         index_of(d, "a-1.5-0.dump");
         sparse_file(d.file("a-1.5-0.dump"), "", k3GiB);
       },
       "/a-1.5-0.dump: larger than 64 MiB\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    kt::TempDir dir;
    c.make(dir);
    kt::RunOptions opts;
    opts.env = {{"KSIM_REPLAY", dir.path}};
    const kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts, milliseconds(10000));
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(r.err.rfind("ksim: replay: ", 0), 0u) << r.err;
    ASSERT_GE(r.err.size(), c.error.size());
    EXPECT_EQ(r.err.substr(r.err.size() - c.error.size()), c.error) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
}

// The seconds in a file name are a plain decimal number: "1" and "1.5", not
// "nan", "inf", "1e999" or "0x10".
TEST(Replay, seconds_must_be_decimal) {
  for (const char *seconds : {"nan", "inf", "1e999", "0x10", "-1", "1.", ".5", ""}) {
    SCOPED_TRACE(seconds);
    kt::TempDir dir;
    const std::string name = std::string("d-") + seconds + "-0.pgm";
    index_of(dir, name);
    kt::RunOptions opts;
    opts.env = {{"KSIM_REPLAY", dir.path}};
    const kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts, milliseconds(10000));
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.err, "ksim: replay: bad entry in INDEX.txt: '" + name + "'\n");
  }
}

// A KSIM_FAIL entry naming no driver function is reported and ignored;
// the entries around it still work.
TEST(Controls, a_misspelt_fail_entry_is_reported) {
  kt::RunOptions opts;
  opts.env = {{"KSIM_FAIL", "freenect_strat_depth,freenect_start_video=-9"}};
  const kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts, milliseconds(10000));
  EXPECT_EQ(r.exit_code, 256 - 9);
  EXPECT_EQ(r.err,
            "ksim: ignoring KSIM_FAIL entry 'freenect_strat_depth': no driver function of that "
            "name\n");
}

// A motor speed that is not a positive number is reported and ignored.
TEST(Controls, a_malformed_motor_speed_is_reported) {
  for (const char *speed : {"-5", "0", "fast", "inf", "12deg"}) {
    kt::RunOptions opts;
    opts.env = {{"KSIM_MOTOR_SPEED", speed}, {"KSIM_FAIL", "freenect_start_video=-9"}};
    const kt::RunResult r = kt::run(kt::tool_path("streamcheck"), opts, milliseconds(10000));
    EXPECT_EQ(r.exit_code, 256 - 9);
    EXPECT_EQ(r.err, std::string("ksim: ignoring KSIM_MOTOR_SPEED entry '") + speed + "'\n");
  }
}
