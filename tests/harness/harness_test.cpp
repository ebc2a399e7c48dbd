// Tests of the test harness itself: processes, the trace reader, images and
// the Xvfb helpers.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "harness.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

kt::RunOptions shell(const std::string &script) {
  kt::RunOptions opts;
  opts.args = {"-c", script};
  opts.on_sim = false;
  return opts;
}

int open_fds() {
  int n = 0;
  for (auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    n++;
  }
  return n;
}

// An XWD dump of a `w` × `h` 32-bit image, every pixel `value`, in the given
// byte order.
std::string xwd_dump(int w, int h, uint32_t value, bool msb_first, uint32_t red_mask,
                     uint32_t green_mask, uint32_t blue_mask) {
  const std::string name = "win";
  uint32_t header[25] = {};
  header[0] = 100 + (uint32_t)name.size() + 1;  // header size with the window name
  header[1] = 7;                                // file version
  header[2] = 2;                                // ZPixmap
  header[3] = 24;
  header[4] = (uint32_t)w;
  header[5] = (uint32_t)h;
  header[7] = msb_first;
  header[11] = 32;
  header[12] = (uint32_t)w * 4 + 8;  // padded lines
  header[14] = red_mask;
  header[15] = green_mask;
  header[16] = blue_mask;
  header[19] = 2;  // two colour records to skip
  std::string out;
  for (uint32_t f : header) {
    for (int s = 24; s >= 0; s -= 8) out += (char)(f >> s);
  }
  out += name;
  out += '\0';
  out += std::string(2 * 12, '\x55');
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      for (int i = 0; i < 4; i++) out += (char)(value >> (8 * (msb_first ? 3 - i : i)));
    }
    out += std::string(8, '\0');
  }
  return out;
}

}  // namespace

TEST(Process, collects_output_and_exit_status_separately) {
  kt::RunOptions opts = shell("echo hello; echo oops >&2; printf 'no newline'; exit 3");
  kt::RunResult r = kt::run("/bin/sh", opts);
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.term_signal, 0);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, "hello\nno newline");
  EXPECT_EQ(r.err, "oops\n");
}

TEST(Process, passes_environment_arguments_and_working_directory) {
  kt::TempDir dir;
  kt::RunOptions opts = shell("echo \"$KT_VALUE $0 $1\"; pwd; echo \"$LD_LIBRARY_PATH\"");
  opts.args.push_back("first");
  opts.args.push_back("second");
  opts.env = {{"KT_VALUE", "set"}, {"LD_LIBRARY_PATH", "/elsewhere"}};
  opts.cwd = dir.path;
  opts.on_sim = true;
  kt::RunResult r = kt::run("/bin/sh", opts);
  EXPECT_EQ(r.out, "set first second\n" + std::filesystem::canonical(dir.path).string() + "\n" +
                       kt::sim_lib_dir() + ":/elsewhere\n");
}

TEST(Process, large_output_is_not_lost) {
  // Far more than a pipe holds, on both streams at once.
  kt::RunResult r =
      kt::run("/bin/sh", shell("head -c 1000000 /dev/zero; head -c 300000 /dev/zero >&2"));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.size(), 1000000u);
  EXPECT_EQ(r.err.size(), 300000u);
}

TEST(Process, timeout_kills_the_whole_process_group) {
  kt::TempDir dir;
  // The background child would outlive its parent if only the parent died.
  std::string marker = dir.file("survivor");
  kt::RunOptions opts = shell("(sleep 2; touch " + marker + ") & sleep 30");
  auto start = std::chrono::steady_clock::now();
  kt::RunResult r = kt::run("/bin/sh", opts, milliseconds(300));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(2000));
  EXPECT_TRUE(r.timed_out);
  EXPECT_EQ(r.term_signal, SIGKILL);
  EXPECT_EQ(r.exit_code, -1);
  std::this_thread::sleep_for(milliseconds(2500));
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(Process, signals_reach_the_process_and_are_reported) {
  kt::Process p("/bin/sh", shell("trap 'echo got TERM; exit 7' TERM; echo ready; "
                                 "while :; do sleep 0.05; done"));
  ASSERT_TRUE(p.wait_for_out("ready\n", milliseconds(5000)));
  EXPECT_TRUE(p.running());
  p.signal(SIGTERM);
  kt::RunResult r = p.wait(milliseconds(5000));
  EXPECT_EQ(r.exit_code, 7);
  EXPECT_EQ(r.out, "ready\ngot TERM\n");
  EXPECT_FALSE(p.running());

  kt::Process q("/bin/sleep", [] {
    kt::RunOptions o;
    o.args = {"30"};
    o.on_sim = false;
    return o;
  }());
  q.signal(SIGINT);
  kt::RunResult s = q.wait(milliseconds(5000));
  EXPECT_EQ(s.term_signal, SIGINT);
  EXPECT_FALSE(s.timed_out);
}

TEST(Process, waiting_for_text_gives_up_on_timeout_and_on_exit) {
  kt::Process slow("/bin/sh", shell("echo early; sleep 30"));
  EXPECT_TRUE(slow.wait_for_out("early", milliseconds(5000)));
  EXPECT_FALSE(slow.wait_for_out("never", milliseconds(200)));
  kt::Process quick("/bin/sh", shell("echo bye >&2"));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(quick.wait_for_err("never", milliseconds(10000)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
  EXPECT_EQ(quick.err_so_far(), "bye\n");
}

TEST(Process, leaves_no_descriptor_or_child_behind) {
  int before = open_fds();
  for (int i = 0; i < 20; i++) {
    kt::Process p("/bin/sh", shell("sleep 30"));
  }
  for (int i = 0; i < 20; i++) kt::run("/bin/true", shell(""));
  EXPECT_EQ(open_fds(), before);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child left, reaped or not
  EXPECT_EQ(errno, ECHILD);
}

// True once `pid` is gone or a zombie.
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_field, name, state;
  return !(stat >> pid_field >> name >> state) || state == "Z";
}

TEST(Process, dies_with_a_test_process_that_dies_without_cleaning_up) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t test_process = fork();
  if (test_process == 0) {
    // A test process that dies abruptly: no destructor runs.
    auto *p = new kt::Process("/bin/sleep", [] {
      kt::RunOptions o;
      o.args = {"30"};
      o.on_sim = false;
      return o;
    }());
    pid_t pid = p->pid();
    ssize_t ignored = write(report[1], &pid, sizeof pid);
    (void)ignored;
    _exit(0);
  }
  close(report[1]);
  pid_t tool = 0;
  ASSERT_EQ(read(report[0], &tool, sizeof tool), (ssize_t)sizeof tool);
  close(report[0]);
  waitpid(test_process, nullptr, 0);
  auto deadline = std::chrono::steady_clock::now() + milliseconds(5000);
  while (!ended(tool) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_TRUE(ended(tool));
}

TEST(Process, redirected_program_runs_with_the_shell_redirections) {
  kt::RunOptions opts;
  opts.on_sim = false;
  opts.args = {"-e", "/proc/self/fd/1"};
  EXPECT_EQ(kt::run(kt::kShell, kt::redirected("/usr/bin/test", "", opts)).exit_code, 0);
  EXPECT_EQ(kt::run(kt::kShell, kt::redirected("/usr/bin/test", ">&-", opts)).exit_code, 1);
  // The shell execs the program: the process is the program itself.
  opts.args = {"-c", "echo $$"};
  kt::Process p(kt::kShell, kt::redirected("/bin/sh", "2>&1", opts));
  const kt::RunResult r = p.wait(milliseconds(10000));
  EXPECT_EQ(r.out, std::to_string(p.pid()) + "\n");
}

TEST(Process, a_missing_program_is_an_error) {
  EXPECT_THROW(kt::Process("/nonexistent/tool", shell("")), std::runtime_error);
}

TEST(Trace, parses_calls_void_calls_and_events) {
  kt::TempDir dir;
  std::ofstream(dir.file("trace")) << "freenect_init = 0\n"
                                      "freenect_set_depth_mode 1 5 = 0\n"
                                      "freenect_set_depth_callback set\n"
                                      "@depth 4294967295\n"
                                      "\n"
                                      "freenect_open_device 0 = -5\n"
                                      "freenect_process_events = -1";  // no final newline
  auto trace = kt::read_trace(dir.file("trace"));
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[1].name, "freenect_set_depth_mode");
  EXPECT_EQ(trace[1].args, (std::vector<std::string>{"1", "5"}));
  EXPECT_EQ(trace[1].result, "0");
  EXPECT_EQ(trace[2].args, std::vector<std::string>{"set"});
  EXPECT_EQ(trace[2].result, "");
  EXPECT_EQ(trace[3].name, "@depth");
  EXPECT_EQ(trace[3].args, std::vector<std::string>{"4294967295"});
  EXPECT_EQ(trace[5].result, "-1");
  EXPECT_EQ(kt::call_names(trace),
            (std::vector<std::string>{"freenect_init", "freenect_set_depth_mode",
                                      "freenect_set_depth_callback", "@depth",
                                      "freenect_open_device", "freenect_process_events"}));
  auto opens = kt::calls_named(trace, "freenect_open_device");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].result, "-5");
  EXPECT_TRUE(kt::read_trace(dir.file("missing")).empty());
}

TEST(Text, split_lines_keeps_empty_and_unterminated_lines) {
  EXPECT_TRUE(kt::split_lines("").empty());
  EXPECT_EQ(kt::split_lines("a\n\nb\nc"), (std::vector<std::string>{"a", "", "b", "c"}));
  EXPECT_EQ(kt::split_lines("only\n"), std::vector<std::string>{"only"});
}

TEST(Image, png_round_trip_keeps_every_pixel) {
  kt::TempDir dir;
  kt::Image img;
  img.width = 5;
  img.height = 3;
  for (int i = 0; i < 15 * 3; i++) img.rgb.push_back((uint8_t)(i * 17));
  img.save_png(dir.file("a.png"));
  kt::Image back = kt::load_png(dir.file("a.png"));
  EXPECT_EQ(back.width, 5);
  EXPECT_EQ(back.height, 3);
  EXPECT_EQ(back.rgb, img.rgb);
  EXPECT_EQ(back.at(4, 2), (kt::Image::Pixel{img.rgb[42], img.rgb[43], img.rgb[44]}));
  EXPECT_THROW(back.at(5, 0), std::out_of_range);
  std::ofstream(dir.file("bad.png")) << "not a png";
  EXPECT_THROW(kt::load_png(dir.file("bad.png")), std::runtime_error);
}

TEST(Image, xwd_pixels_decode_in_both_byte_orders) {
  for (bool msb : {false, true}) {
    kt::Image img = kt::parse_xwd(xwd_dump(3, 2, 0x00123456, msb, 0xff0000, 0xff00, 0xff));
    ASSERT_EQ(img.width, 3);
    ASSERT_EQ(img.height, 2);
    EXPECT_EQ(img.at(2, 1), (kt::Image::Pixel{0x12, 0x34, 0x56})) << "msb " << msb;
  }
  // Masks other than the usual ones: blue high, red low.
  kt::Image swapped = kt::parse_xwd(xwd_dump(1, 1, 0x00123456, false, 0xff, 0xff00, 0xff0000));
  EXPECT_EQ(swapped.at(0, 0), (kt::Image::Pixel{0x56, 0x34, 0x12}));
  std::string truncated = xwd_dump(3, 2, 0, false, 0xff0000, 0xff00, 0xff);
  truncated.resize(truncated.size() - 1);
  EXPECT_THROW(kt::parse_xwd(truncated), std::runtime_error);
  EXPECT_THROW(kt::parse_xwd("short"), std::runtime_error);
}

TEST(Xvfb, screenshot_shows_a_known_window) {
  kt::Xvfb x(320, 240);
  EXPECT_EQ(x.display().rfind(":", 0), 0u);
  kt::RunOptions opts;
  opts.args = {"-geometry", "120x90+10+10", "-bg",    "#ff0000",
               "-fg",       "#0000ff",      "-title", "harness probe"};
  opts.env = x.env();
  opts.on_sim = false;
  kt::Process logo("/usr/bin/xlogo", opts);
  auto win = x.find_window("harness probe", milliseconds(10000));
  ASSERT_TRUE(win.has_value()) << "xlogo: " << logo.err_so_far();
  EXPECT_FALSE(x.find_window("harness", milliseconds(100)).has_value());  // whole title only
  kt::Image shot = x.stable_screenshot(*win, milliseconds(200), milliseconds(5000));
  ASSERT_EQ(shot.width, 120);
  ASSERT_EQ(shot.height, 90);
  EXPECT_EQ(shot.at(0, 0), (kt::Image::Pixel{255, 0, 0}));
  bool has_logo = false;
  for (int y = 0; y < shot.height; y++) {
    for (int xx = 0; xx < shot.width; xx++)
      has_logo |= shot.at(xx, y) == kt::Image::Pixel{0, 0, 255};
  }
  EXPECT_TRUE(has_logo);
  // Input is delivered without error (xlogo ignores it).
  x.mouse_move(*win, 5, 5);
  x.mouse_down(*win, 1);
  x.mouse_up(*win, 1);
  x.key(*win, "space");
  EXPECT_TRUE(logo.running());
}

// The server must not reset when its last client leaves: a reset turns away
// whoever connects meanwhile, so a tool starting just as a window-search poll
// ends would never open its window (the rare "no window" failures). A reset
// also clears the root window's properties, which makes it visible here.
TEST(Xvfb, outlives_its_last_client_without_a_reset) {
  kt::Xvfb x(320, 240);
  kt::RunOptions opts;
  opts.env = x.env();
  opts.on_sim = false;
  opts.args = {"-root", "-f", "KESTREL_MARK", "8s", "-set", "KESTREL_MARK", "kept"};
  ASSERT_EQ(kt::run("/usr/bin/xprop", opts).exit_code, 0);
  std::this_thread::sleep_for(milliseconds(300));  // time for a reset to happen
  opts.args = {"-root", "KESTREL_MARK"};
  const kt::RunResult r = kt::run("/usr/bin/xprop", opts);
  EXPECT_EQ(r.out, "KESTREL_MARK(STRING) = \"kept\"\n");
}
