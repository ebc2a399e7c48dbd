// End-to-end tests of camserve and camcall together on the simulated Kinect:
// the pictures are the documented scene, the tilt reaches the driver clamped,
// clients are answered each in turn, and faults, signals and bad settings end
// as documented.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "scene.hpp"
#include "service_helpers.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

// camcall's one line: "640x480 rgb8 stamp S.N frame ID round trip T ms".
struct CallLine {
  std::string size, encoding, frame_id;
  double stamp = 0;
  double round_trip_ms = 0;
};

CallLine parse_call_line(const std::string &out) {
  std::istringstream in(out);
  CallLine line;
  std::string stamp, frame, round, trip, ms;
  bool ok = static_cast<bool>(in >> line.size >> line.encoding >> stamp >> line.stamp >> frame >>
                              line.frame_id >> round >> trip >> line.round_trip_ms >> ms) &&
            stamp == "stamp" && frame == "frame" && round == "round" && trip == "trip" &&
            ms == "ms" && std::count(out.begin(), out.end(), '\n') == 1 && out.back() == '\n';
  if (!ok) {
    ADD_FAILURE() << "unexpected camcall output: " << out;
    return {};
  }
  return line;
}

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The tilt values sent, in order.
std::vector<std::string> tilts(const std::vector<kt::TraceCall> &trace) {
  return kt::first_args(trace, "freenect_set_tilt_degs");
}

// Waits until the trace at `path` shows `count` tilts: the request in hand
// has begun. False after 20 s.
bool wait_for_tilts(const std::string &path, size_t count) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (tilts(kt::read_trace(path)).size() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

TEST(Camserve, RgbPictureIsTheSceneWithItsStampAndFrameId) {
  kt::TempDir dir;
  auto server = kt::start_camserve({"--frame-id", "head_camera"});
  ASSERT_TRUE(server);
  double before = now_seconds();
  kt::RunResult call = kt::run_camcall({"--out", dir.file("rgb.png")});
  double after = now_seconds();
  ASSERT_EQ(call.exit_code, 0) << call.err;
  CallLine line = parse_call_line(call.out);
  EXPECT_EQ(line.size, "640x480");
  EXPECT_EQ(line.encoding, "rgb8");
  EXPECT_EQ(line.frame_id, "head_camera");
  EXPECT_GE(line.stamp, before);
  EXPECT_LE(line.stamp, after);

  kt::Image image = kt::load_png(dir.file("rgb.png"));
  ASSERT_EQ(image.width, ksim::kWidth);
  ASSERT_EQ(image.height, ksim::kHeight);
  int wrong = 0;
  for (int v = 0; v < ksim::kHeight; ++v) {
    for (int u = 0; u < ksim::kWidth; ++u) {
      uint8_t want[3];
      ksim::rgb(u, v, want);
      kt::Image::Pixel got = image.at(u, v);
      wrong += got.r != want[0] || got.g != want[1] || got.b != want[2];
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(Camserve, DepthPictureIsTheSceneInMillimetres) {
  kt::TempDir dir;
  auto server = kt::start_camserve({"--image", "depth", "--depth", "mm"});
  ASSERT_TRUE(server);
  kt::RunResult call = kt::run_camcall({"--out", dir.file("depth.pgm")});
  ASSERT_EQ(call.exit_code, 0) << call.err;
  kt::RunResult png_call = kt::run_camcall({"--out", dir.file("depth.png")});
  ASSERT_EQ(png_call.exit_code, 0) << png_call.err;
  CallLine line = parse_call_line(call.out);
  EXPECT_EQ(line.encoding, "16UC1");
  EXPECT_EQ(line.frame_id, "kinect_depth_optical_frame");

  std::vector<uint8_t> file = kt::read_file(dir.file("depth.pgm"));
  const std::string header = "P5\n640 480\n65535\n";
  ASSERT_EQ(file.size(), header.size() + 640 * 480 * 2);
  ASSERT_EQ(std::string(file.begin(), file.begin() + header.size()), header);
  // The PNG is 16-bit grey; the harness reads it as 8-bit RGB, keeping the
  // high byte of each value.
  kt::Image png = kt::load_png(dir.file("depth.png"));
  ASSERT_EQ(png.width, ksim::kWidth);
  int wrong = 0, wrong_png = 0;
  for (int v = 0; v < ksim::kHeight; ++v) {
    for (int u = 0; u < ksim::kWidth; ++u) {
      uint16_t mm = ksim::depth_mm(u, v);
      wrong += kt::be16(&file[header.size() + 2 * (v * ksim::kWidth + u)]) != mm;
      wrong_png += png.at(u, v).r != mm >> 8;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(wrong_png, 0);
}

TEST(Camserve, TiltReachesTheDriverClampedToTheMotorsRange) {
  struct Case {
    const char *angle, *traced;
    bool clamp_logged;
  };
  const Case cases[] = {
      {"10", "10", false}, {"40", "31", true}, {"-32768", "-31", true}, {"-31", "-31", false}};
  kt::TempDir dir;
  auto server = kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}});
  ASSERT_TRUE(server);
  for (const Case &c : cases) {
    kt::RunResult call = kt::run_camcall({"--angle", c.angle});
    EXPECT_EQ(call.exit_code, 0) << c.angle << ": " << call.err;
    std::vector<std::string> angles = tilts(kt::read_trace(dir.file("trace")));
    ASSERT_FALSE(angles.empty());
    EXPECT_EQ(angles.back(), c.traced) << c.angle;
    std::string clamp = std::string("angle ") + c.angle + " clamped to " + c.traced + " degrees";
    EXPECT_EQ(server->err_so_far().find(clamp) != std::string::npos, c.clamp_logged) << c.angle;
  }
}

TEST(Camserve, PictureWaitsForTheMotorToStopAtMostThreeSeconds) {
  // A motor whose state cannot be read is given the full motor time; one
  // that refuses the tilt gives no picture: the caller is not told the view
  // is at an angle the motor never went to.
  struct Case {
    const char *name;
    kt::Env env;
    milliseconds at_least, at_most;
    const char *logged;
    bool picture;
  };
  const Case cases[] = {
      {"stops at once", {}, milliseconds(0), milliseconds(5000), nullptr, true},
      {"moves for 10 reads, 20 ms apart",
       {{"KMOTOR_MOVING_READS", "10"}},
       milliseconds(200),
       milliseconds(5000),
       nullptr,
       true},
      {"never stops",
       {{"KMOTOR_MOVING_READS", "-1"}},
       milliseconds(3000),
       milliseconds(5000),
       "camserve: the motor still moves; taking the picture anyway\n",
       true},
      {"state unreadable",
       {{"KSIM_FAIL", "freenect_update_tilt_state"}},
       milliseconds(3000),
       milliseconds(5000),
       "camserve: cannot read the motor's state; waiting the full motor time\n",
       true},
      {"tilt fails",
       {{"KSIM_FAIL", "freenect_set_tilt_degs"}},
       milliseconds(0),
       milliseconds(5000),
       "camserve: empty reply to request 1: the motor refused the tilt to 12 degrees\n",
       false},
  };
  for (const Case &c : cases) {
    kt::RunOptions opts = kt::options({}, c.env);
    opts.preload = {MOVING_MOTOR_LIB};
    kt::Process server(CAMSERVE, opts);
    ASSERT_TRUE(server.wait_for_out("Serving", milliseconds(20000))) << server.err_so_far();
    auto start = std::chrono::steady_clock::now();
    kt::RunResult call = kt::run_camcall({"--angle", "12"});
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(server.err_so_far(), c.logged ? c.logged : "") << c.name;
    if (!c.picture) {
      EXPECT_EQ(call.exit_code, 1) << c.name;
      EXPECT_EQ(call.err, "camcall: /camera answered with an empty image\n") << c.name;
      EXPECT_LT(took, c.at_most) << c.name;
      continue;
    }
    EXPECT_EQ(call.exit_code, 0) << c.name << ": " << call.err;
    double round_trip_ms = parse_call_line(call.out).round_trip_ms;
    EXPECT_GE(round_trip_ms, c.at_least.count()) << c.name;
    EXPECT_LT(round_trip_ms, c.at_most.count()) << c.name;
  }
}

TEST(Camserve, SeveralClientsAtOnceAreEachAnswered) {
  const int kClients = 4;
  kt::TempDir dir;
  auto server = kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}});
  ASSERT_TRUE(server);
  std::vector<std::unique_ptr<kt::Process>> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(std::make_unique<kt::Process>(
        CAMCALL, kt::options({"--angle", std::to_string(i + 1), "--out",
                              dir.file(std::to_string(i) + ".ppm")})));
  }
  for (auto &client : clients) {
    kt::RunResult call = client->wait(milliseconds(30000));
    EXPECT_EQ(call.exit_code, 0) << call.err;
    EXPECT_EQ(parse_call_line(call.out).size, "640x480");
  }
  std::vector<std::string> angles = tilts(kt::read_trace(dir.file("trace")));
  std::sort(angles.begin(), angles.end());
  EXPECT_EQ(angles, (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST(Camserve, ClientKilledMidRequestDelaysTheNextNoMoreThanFiveSeconds) {
  kt::TempDir dir;
  // The vanished client is under test, not the motor: it arrives at once.
  auto server =
      kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}, {"KSIM_MOTOR_SPEED", "instant"}});
  ASSERT_TRUE(server);
  kt::Process vanishing(CAMCALL, kt::options({"--angle", "9"}));
  ASSERT_TRUE(wait_for_tilts(dir.file("trace"), 1));
  vanishing.signal(SIGKILL);
  vanishing.wait(milliseconds(20000));
  // The promise runs from the request to its reply; the caller's own start-up
  // and discovery, slow on a busy machine, are not part of it. Under
  // ThreadSanitizer two new views may not be computed within the 5 s: there
  // an empty image whose reason camserve logs is the answer.
  kt::RunResult call = kt::run_camcall({"--angle", "4", "--timeout", "20"});
  if (kt::kUnderThreadSanitizer &&
      call.err.find("answered with an empty image") != std::string::npos) {
    // The log line may come through camserve's stderr after the small reply.
    EXPECT_TRUE(server->wait_for_err("camserve: empty reply to request", milliseconds(20000)));
    return;
  }
  ASSERT_EQ(call.exit_code, 0) << call.err;
  EXPECT_LT(parse_call_line(call.out).round_trip_ms, 5000) << call.out;
}

TEST(Camserve, LostKinectEndsCamserveWithStatusOne) {
  // A failing or ended event loop does not come back: camserve says so and
  // exits 1, for a supervisor to start it again (requests that wait then
  // are answered: see the peer test of a Kinect lost mid-request).
  struct Case {
    const char *name;
    kt::Env env;
  };
  const Case cases[] = {
      {"event error", {{"KSIM_FAIL", "freenect_process_events_timeout@5"}}},
      {"stream ended", {{"KSIM_END_AFTER", "3"}}},
  };
  for (const Case &c : cases) {
    auto server = kt::start_camserve({}, c.env);
    ASSERT_TRUE(server);
    kt::RunResult served = server->wait(milliseconds(20000));
    EXPECT_EQ(served.exit_code, 1) << c.name;
    EXPECT_NE(served.err.find("camserve: the Kinect is lost: the device stopped delivering "
                              "(driver event error -1)\n"),
              std::string::npos)
        << c.name << ": " << served.err;
    EXPECT_NE(served.err.find("camserve: answering what waits with empty images and exiting\n"),
              std::string::npos)
        << c.name;
  }
}

TEST(Camserve, StopSignalsFinishTheRequestInHandThenCloseTheDevice) {
  for (int sig : {SIGINT, SIGTERM}) {
    kt::TempDir dir;
    auto server = kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}});
    ASSERT_TRUE(server);
    kt::Process client(CAMCALL, kt::options({"--angle", "7"}));
    // The tilt is the request's first step: the request is then in hand.
    ASSERT_TRUE(wait_for_tilts(dir.file("trace"), 1));
    server->signal(sig);
    kt::RunResult call = client.wait(milliseconds(20000));
    kt::RunResult served = server->wait(milliseconds(20000));
    EXPECT_EQ(call.exit_code, 0) << strsignal(sig) << ": " << call.err;
    EXPECT_EQ(served.exit_code, 0) << strsignal(sig) << ": " << served.err;

    std::vector<std::string> names = kt::call_names(kt::read_trace(dir.file("trace")));
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const std::string &n) { return n[0] == '@'; }),
                names.end());
    auto tilt = std::find(names.begin(), names.end(), "freenect_set_tilt_degs");
    auto stop = std::find(names.begin(), names.end(), "freenect_stop_video");
    ASSERT_NE(tilt, names.end());
    ASSERT_NE(stop, names.end());
    EXPECT_LT(tilt, stop);
    EXPECT_EQ(std::vector<std::string>(stop, names.end()),
              (std::vector<std::string>{"freenect_stop_video", "freenect_close_device",
                                        "freenect_shutdown"}))
        << strsignal(sig);
  }
}

TEST(Camserve, StartUpFailuresAreOneLineAndStatusOne) {
  struct Case {
    std::vector<std::string> args;
    kt::Env env;
    std::string line;
  };
  const Case cases[] = {
      {{}, {{"KSIM_DEVICES", "0"}}, "camserve: no Kinect at index 0 (0 found)\n"},
      {{"--device", "1"}, {}, "camserve: no Kinect at index 1 (1 found)\n"},
      {{},
       {{"KSIM_FAIL", "freenect_start_video"}},
       "camserve: cannot start the video stream of Kinect 0\n"},
      {{},
       {{"ROS_DOMAIN_ID", "abc"}},
       "camserve: ROS_DOMAIN_ID 'abc' is not a domain id (0 to 232)\n"},
      {{},
       {{"ROS_DOMAIN_ID", "233"}},
       "camserve: ROS_DOMAIN_ID '233' is not a domain id (0 to 232)\n"},
      {{"--service", "2cam"}, {}, "camserve: '2cam' is not a valid service name\n"},
  };
  for (const Case &c : cases) {
    kt::RunResult result = kt::run(CAMSERVE, kt::options(c.args, c.env), milliseconds(20000));
    EXPECT_EQ(result.exit_code, 1) << c.line;
    EXPECT_EQ(result.err, c.line);
    EXPECT_EQ(result.out, "");
  }
}

TEST(Camcall, FailuresExitOneWithAClearMessage) {
  struct Case {
    std::vector<std::string> args;
    kt::Env env;
    std::string line;
  };
  const Case cases[] = {
      {{"--timeout", "0.5"}, {}, "camcall: no service /camera within 0.5 s\n"},
      {{"--service", "/other", "--timeout", "0.5"},
       {},
       "camcall: no service /other within 0.5 s\n"},
      {{},
       {{"ROS_DOMAIN_ID", "-1"}},
       "camcall: ROS_DOMAIN_ID '-1' is not a domain id (0 to 232)\n"},
  };
  for (const Case &c : cases) {
    kt::RunResult result = kt::run_camcall(c.args, c.env);
    EXPECT_EQ(result.exit_code, 1) << c.line;
    EXPECT_EQ(result.err, c.line);
  }
}

TEST(Camcall, OutputThatCannotBeWrittenIsRefusedBeforeTheCallOrLeavesNoFile) {
  kt::TempDir dir;
  auto server = kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}});
  ASSERT_TRUE(server);
  // Refused before calling: the motor does not move.
  struct Refused {
    std::string out, err;
  };
  const Refused refused[] = {
      {dir.file("picture.jpg"),
       "camcall: '" + dir.file("picture.jpg") + "' does not end in .png, .ppm or .pgm\n"},
      {dir.file("none/picture.png"),
       "camcall: cannot write into '" + dir.file("none") + "': No such file or directory\n"},
  };
  for (const Refused &c : refused) {
    kt::RunResult call = kt::run_camcall({"--angle", "5", "--out", c.out});
    EXPECT_EQ(call.exit_code, 1) << c.out;
    EXPECT_EQ(call.err, c.err);
  }
  EXPECT_TRUE(tilts(kt::read_trace(dir.file("trace"))).empty());

  // A full disk: the reason, and neither a partial picture nor a temporary
  // file; an earlier picture of that name stays as it was.
  kt::SmallDisk disk(dir.file("disk"), "16k");  // a PNG of the scene is 19 KB
  ASSERT_TRUE(disk.mounted()) << disk.error();
  kt::write_file(disk.file("old.png"), "earlier");
  for (const char *name : {"full.ppm", "full.png", "old.png"}) {
    kt::RunResult call = kt::run_camcall({"--out", disk.file(name)});
    EXPECT_EQ(call.exit_code, 1) << name;
    EXPECT_EQ(call.err,
              "camcall: cannot write '" + disk.file(name) + "': No space left on device\n");
  }
  EXPECT_FALSE(kt::file_exists(disk.file("full.ppm")));
  EXPECT_FALSE(kt::file_exists(disk.file("full.png")));
  std::vector<uint8_t> old = kt::read_file(disk.file("old.png"));
  EXPECT_EQ(std::string(old.begin(), old.end()), "earlier");
  kt::RunResult listing = kt::run("/bin/ls", kt::options({"-A", disk.path}), milliseconds(5000));
  EXPECT_EQ(listing.out, "old.png\n");
}

TEST(Camserve, ServesOnTheDomainAndUnderTheNameGiven) {
  kt::TempDir dir;
  auto server = kt::start_camserve({"--service", "/robot/cam"}, {{"ROS_DOMAIN_ID", "7"}});
  ASSERT_TRUE(server);
  EXPECT_EQ(server->out_so_far(), "Serving /robot/cam on domain 7\n");
  kt::RunResult other_domain = kt::run_camcall({"--service", "robot/cam", "--timeout", "1"});
  EXPECT_EQ(other_domain.exit_code, 1);
  kt::RunResult call = kt::run_camcall({"--service", "robot/cam", "--out", dir.file("a.png")},
                                       {{"ROS_DOMAIN_ID", "7"}});
  EXPECT_EQ(call.exit_code, 0) << call.err;
}

}  // namespace
