// End-to-end tests of cloudspin on the simulated Kinect, under Xvfb. Known
// scene points are projected with the tool's two fixed matrices and its
// perspective, and their screen colour is checked against the colour image
// sampled where the RGB matrix says the point is seen.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "harness.hpp"
#include "scene.hpp"
#include "window_tool.hpp"

namespace kt = kestrel::test;
using std::chrono::milliseconds;

namespace {

constexpr int kW = 640, kH = 480;  // window and frames
const char kNoKinect[] = "Error: Kinect not connected?\n";

using Vec = std::array<double, 4>;
using Mat = std::array<double, 16>;  // column-major, as OpenGL stores it

Mat mul(const Mat &a, const Mat &b) {
  Mat m{};
  for (int c = 0; c < 4; c++)
    for (int r = 0; r < 4; r++)
      for (int k = 0; k < 4; k++) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
  return m;
}
Vec apply(const Mat &m, const Vec &v) {
  Vec out{};
  for (int r = 0; r < 4; r++)
    for (int k = 0; k < 4; k++) out[r] += m[k * 4 + r] * v[k];
  return out;
}
Mat scale(double x, double y, double z) {
  return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
}
Mat translate(double x, double y, double z) {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}
Mat rotate_x(double deg) {
  const double c = std::cos(deg * M_PI / 180), s = std::sin(deg * M_PI / 180);
  return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}
Mat rotate_y(double deg) {
  const double c = std::cos(deg * M_PI / 180), s = std::sin(deg * M_PI / 180);
  return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}

// The pixel-to-metric back-projection of the depth camera, in floats as the
// tool forms it: x = (u - 339.5) / 594.21, y = (242.7 - v) / 591.04, z = -1,
// w = 3.3309495 - 0.0030711 d.
Mat vertex_matrix() {
  return {1 / 594.21f, 0,         0, 0, 0,           -1 / 591.04f,      0,
          0,           0,         0, 0, -0.0030711f, -339.5f / 594.21f, 242.7f / 591.04f,
          -1,          3.3309495f};
}
// Depth-camera point to homogeneous colour-image pixel (s', t', 0, q').
Mat rgb_matrix() {
  return {534.8663f,   3.896548f,  0, 0.01747042f, -4.707247f, -528.8436f, 0, -0.01227534f,
          -319.67078f, -260.9997f, 0, -0.999772f,  -6.984456f, 3.3113978f, 0, 0.010916736f};
}
Mat projection() {
  const double ymax = 0.3 * std::tan(60.0 / 360 * M_PI), xmax = ymax * 4 / 3.0;
  const double l = -xmax, r = xmax, b = -ymax, t = ymax, n = 0.3, f = 200;
  return {2 * n / (r - l),
          0,
          0,
          0,
          0,
          2 * n / (t - b),
          0,
          0,
          (r + l) / (r - l),
          (t + b) / (t - b),
          -(f + n) / (f - n),
          -1,
          0,
          0,
          -2 * f * n / (f - n),
          0};
}

struct View {
  float zoom = 1;
  int rot_x = 0, rot_y = 0;  // degrees
};

// Where the point of depth pixel (u, v) lands in the window (screenshot
// coordinates, y down), or false when it is clipped.
bool screen_pos(const View &view, int u, int v, double *x, double *y) {
  const Mat mv = mul(
      mul(mul(mul(mul(scale(view.zoom, view.zoom, 1), translate(0, 0, -3.5)), rotate_x(view.rot_x)),
              rotate_y(view.rot_y)),
          translate(0, 0, 1.5)),
      vertex_matrix());
  const Vec clip =
      apply(mul(projection(), mv), {(double)u, (double)v, (double)ksim::depth_raw11(u, v), 1});
  if (clip[3] <= 0) return false;
  *x = (clip[0] / clip[3] + 1) / 2 * kW;
  *y = kH - (clip[1] / clip[3] + 1) / 2 * kH;
  return *x >= 0 && *x < kW && *y >= 0 && *y < kH;
}

// The colour image at texel (x, y), repeating beyond its edges.
std::array<double, 3> texel(int x, int y) {
  uint8_t c[3];
  ksim::rgb(((x % kW) + kW) % kW, ((y % kH) + kH) % kH, c);
  return {(double)c[0], (double)c[1], (double)c[2]};
}

// The colour of the point of depth pixel (u, v): the colour image sampled
// (bilinearly) where the RGB matrix takes the point.
std::array<double, 3> point_colour(int u, int v) {
  const Mat tex = mul(mul(scale(1 / 640.0f, 1 / 480.0f, 1), rgb_matrix()), vertex_matrix());
  const Vec st = apply(tex, {(double)u, (double)v, (double)ksim::depth_raw11(u, v), 1});
  const double x = st[0] / st[3] * kW - 0.5, y = st[1] / st[3] * kH - 0.5;
  const int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
  const double fx = x - x0, fy = y - y0;
  std::array<double, 3> out{};
  for (int k = 0; k < 3; k++)
    out[k] = (1 - fx) * (1 - fy) * texel(x0, y0)[k] + fx * (1 - fy) * texel(x0 + 1, y0)[k] +
             (1 - fx) * fy * texel(x0, y0 + 1)[k] + fx * fy * texel(x0 + 1, y0 + 1)[k];
  return out;
}

// Scene points inside surfaces of nearly even colour, so that whichever
// neighbouring point wins a screen pixel, its colour is known: the box, the
// ball, and wall squares of the checkerboard, light and dark.
struct ScenePoint {
  const char *name;
  int u, v;
};
const ScenePoint kPoints[] = {
    {"box", 320, 240},       {"ball", 500, 150},       {"wall light", 80, 400},
    {"wall dark", 112, 400}, {"wall upper", 170, 120}, {"wall right", 560, 330},
};

// Checks every scene point's screen pixel against the colours of the points
// that cover that pixel (points are 2 pixels wide; far surfaces crowd several
// depth pixels into one screen pixel, and the nearest of them wins) and
// returns what does not fit.
std::string mismatches(const kt::Image &img, const View &view, bool textured) {
  constexpr int kSearch = 24;   // depth pixels searched around the point
  constexpr double kSlack = 3;  // colour levels, for filtering and rounding
  std::string out;
  for (const ScenePoint &p : kPoints) {
    double x, y;
    if (!screen_pos(view, p.u, p.v, &x, &y)) {
      out += std::string(p.name) + " is off screen\n";
      continue;
    }
    const int px = (int)x, py = (int)y;
    std::array<double, 3> lo{255, 255, 255}, hi{0, 0, 0};
    for (int dv = -kSearch; dv <= kSearch; dv++)
      for (int du = -kSearch; du <= kSearch; du++) {
        double cx, cy;
        if (!screen_pos(view, p.u + du, p.v + dv, &cx, &cy)) continue;
        if (std::fabs(cx - (px + 0.5)) > 1 || std::fabs(cy - (py + 0.5)) > 1) continue;
        const auto c =
            textured ? point_colour(p.u + du, p.v + dv) : std::array<double, 3>{255, 255, 255};
        for (int k = 0; k < 3; k++) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
      }
    const kt::Image::Pixel got = img.at(px, py);
    const double g[3] = {(double)got.r, (double)got.g, (double)got.b};
    for (int k = 0; k < 3; k++) {
      if (g[k] >= lo[k] - kSlack && g[k] <= hi[k] + kSlack) continue;
      char line[200];
      snprintf(line, sizeof line,
               "%s at (%d,%d) is %d %d %d, want %.0f..%.0f %.0f..%.0f %.0f..%.0f\n", p.name, px, py,
               got.r, got.g, got.b, lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]);
      out += line;
      break;
    }
  }
  return out;
}

// cloudspin in the shared window fixture, frames as fast as it can draw them.
struct Viewer : kt::WindowTool {
  explicit Viewer(kt::Env env = {}, std::vector<std::string> preload = {})
      : WindowTool("cloudspin", "LibFreenect", "Escape", options(env, preload)) {}
  static kt::RunOptions options(kt::Env env, std::vector<std::string> preload) {
    kt::RunOptions opts;
    env["KSIM_PACE"] = "fast";
    opts.env = std::move(env);
    opts.preload = std::move(preload);
    return opts;
  }

  // Waits until the window shows the scene as `view` predicts (a key or a
  // drag takes effect with the next drawn frame); returns what still does
  // not fit after 30 s.
  std::string shows(unsigned long win, const std::string &name, const View &view, bool textured) {
    return WindowTool::shows(
        win, [&](const kt::Image &shot) { return mismatches(shot, view, textured); }, name,
        milliseconds(30000));
  }
};

}  // namespace

// The cloud shows the scene where the matrices put it, textured from the
// colour image; 'c' turns the points white and back; the upper-case 'C'
// does nothing.
TEST(Cloudspin, points_show_scene_colours_and_c_switches_white) {
  Viewer v;
  const unsigned long win = v.window();
  const View view;
  EXPECT_EQ(v.shows(win, "textured", view, true), "");

  v.xvfb.key(win, "c");
  EXPECT_EQ(v.shows(win, "white", view, false), "");
  v.xvfb.key(win, "C");
  std::this_thread::sleep_for(milliseconds(1500));  // several frames
  EXPECT_EQ(v.shows(win, "still_white", view, false), "");
  v.xvfb.key(win, "c");
  EXPECT_EQ(v.shows(win, "textured_again", view, true), "");
  EXPECT_EQ(v.quit(win).exit_code, 0);
}

// 'w' zooms in by 1.1 a press, 's' out; a drag with the left button turns
// the cloud by one degree a pixel, down about X and right about Y.
TEST(Cloudspin, zoom_keys_and_left_drag_move_points_as_predicted) {
  Viewer v;
  const unsigned long win = v.window();
  View view;
  for (int i = 0; i < 3; i++) {
    v.xvfb.key(win, "w");
    view.zoom *= 1.1f;
  }
  EXPECT_EQ(v.shows(win, "zoomed_in", view, true), "");
  for (int i = 0; i < 5; i++) {
    v.xvfb.key(win, "s");
    view.zoom /= 1.1f;
  }
  EXPECT_EQ(v.shows(win, "zoomed_out", view, true), "");

  v.xvfb.mouse_move(win, 300, 200);
  v.xvfb.mouse_down(win, 1);
  v.xvfb.mouse_move(win, 312, 200);
  v.xvfb.mouse_move(win, 312, 220);
  v.xvfb.mouse_up(win, 1);
  view.rot_y = 12;
  view.rot_x = 20;
  EXPECT_EQ(v.shows(win, "turned", view, true), "");
  // Without a button held, moving the pointer turns nothing.
  v.xvfb.mouse_move(win, 100, 100);
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_EQ(v.shows(win, "turned_still", view, true), "");
  EXPECT_EQ(v.quit(win).exit_code, 0);
}

// Escape stops the synchronous streams, which closes the device and shuts the
// driver down, and ends with status 0 and no output.
TEST(Cloudspin, escape_stops_streams_and_exits_0) {
  Viewer v;
  const unsigned long win = v.window();
  EXPECT_EQ(v.shows(win, "before_escape", View(), true), "");
  const kt::RunResult r = v.quit(win);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  const auto trace = v.trace();
  EXPECT_FALSE(kt::calls_named(trace, "@depth").empty());
  EXPECT_FALSE(kt::calls_named(trace, "@video").empty());
  // The streams that were started are stopped once each, then the device is
  // closed and the driver shut down, last.
  for (const char *stop : {"freenect_stop_depth", "freenect_stop_video"}) {
    int stopped = 0;
    for (const auto &c : kt::calls_named(trace, stop)) stopped += c.result == "0";
    EXPECT_EQ(stopped, 1) << stop;
  }
  EXPECT_EQ(kt::calls_named(trace, "freenect_close_device").size(), 1u);
  const auto names = kt::call_names(trace);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[names.size() - 2], "freenect_close_device");
  EXPECT_EQ(names.back(), "freenect_shutdown");
}

// A failed fetch, at the first frame (no Kinect) or later, ends the viewer
// with the device error and status 1.
TEST(Cloudspin, failed_fetch_reports_no_kinect_and_exits_1) {
  {
    SCOPED_TRACE("no device");
    Viewer v(kt::Env{{"KSIM_DEVICES", "0"}});
    const kt::RunResult r = v.proc.wait(milliseconds(30000));
    EXPECT_EQ(r.exit_code, 1);
    // The wrapper reports the missing device first, in its own words.
    ASSERT_GE(r.out.size(), strlen(kNoKinect));
    EXPECT_EQ(r.out.substr(r.out.size() - strlen(kNoKinect)), kNoKinect) << r.out;
  }
  for (const char *fail : {"freenect_sync_get_depth@5", "freenect_sync_get_video@3"}) {
    SCOPED_TRACE(fail);
    Viewer v(kt::Env{{"KSYNC_FAIL", fail}}, {kt::sync_fault_lib()});
    const kt::RunResult r = v.proc.wait(milliseconds(30000));
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, kNoKinect);
    // Frames were fetched and drawn before the failure.
    EXPECT_GE(kt::calls_named(v.trace(), "@depth").size(), 2u);
  }
}
