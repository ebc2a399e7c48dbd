// Camera infos: from the simulated Kinect's zero plane, checked by projecting
// points both ways through its freenect_camera_to_world; and the calibrator's
// YAML files, written, read back, and every kind of bad file refused.
#include <libfreenect.h>
#include <libfreenect_registration.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>

#include "camera_info.hpp"
#include "harness.hpp"

namespace kt = kestrel::test;
namespace msgs = kestrel::msgs;

namespace {

TEST(ZeroPlane, camera_info_projects_as_the_drivers_camera_to_world) {
  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  ASSERT_EQ(freenect_init(&ctx, nullptr), 0);
  ASSERT_EQ(freenect_open_device(ctx, &dev, 0), 0);
  freenect_registration reg = freenect_copy_registration(dev);

  msgs::CameraInfo info;
  std::string error;
  ASSERT_TRUE(msgs::camera_info_from_zero_plane(reg.zero_plane_info.reference_distance,
                                                reg.zero_plane_info.reference_pixel_size, info,
                                                error))
      << error;
  EXPECT_EQ(info.width, 640u);
  EXPECT_EQ(info.height, 480u);
  EXPECT_EQ(info.distortion_model, "plumb_bob");
  EXPECT_EQ(info.d, std::vector<double>(5, 0.0));
  const double f = info.k[0];
  EXPECT_EQ(info.k, (std::array<double, 9>{f, 0, 320, 0, f, 240, 0, 0, 1}));
  EXPECT_EQ(info.r, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(info.p, (std::array<double, 12>{f, 0, 320, 0, 0, f, 240, 0, 0, 0, 1, 0}));

  // The zero plane's values are floats: 1e-4 px covers their rounding.
  constexpr double kPixelTolerance = 1e-4;
  for (int u : {0, 17, 320, 501, 639}) {
    for (int v : {0, 100, 240, 479}) {
      for (int z : {400, 1234, 8000}) {
        // Pixel to world through the driver, back to the pixel through K.
        double wx = 0, wy = 0;
        freenect_camera_to_world(dev, u, v, z, &wx, &wy);
        EXPECT_NEAR(info.k[0] * wx / z + info.k[2], u, kPixelTolerance)
            << u << "," << v << "," << z;
        EXPECT_NEAR(info.k[4] * wy / z + info.k[5], v, kPixelTolerance)
            << u << "," << v << "," << z;
        // And P takes the world point to the same pixel.
        const double s = info.p[8] * wx + info.p[9] * wy + info.p[10] * z;
        EXPECT_NEAR((info.p[0] * wx + info.p[2] * z) / s, u, kPixelTolerance);
        EXPECT_NEAR((info.p[5] * wy + info.p[6] * z) / s, v, kPixelTolerance);
      }
    }
  }
  freenect_destroy_registration(&reg);
  freenect_close_device(dev);
  freenect_shutdown(ctx);
}

TEST(ZeroPlane, an_empty_or_broken_zero_plane_gives_an_uncalibrated_info_and_the_reason) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto [distance, pixel] : {std::pair{0.0, 0.0}, {120.0, 0.0}, {nan, 0.1}, {-120.0, 0.1}}) {
    msgs::CameraInfo info;
    std::string error;
    EXPECT_FALSE(msgs::camera_info_from_zero_plane(distance, pixel, info, error));
    EXPECT_NE(error.find("gives no focal length"), std::string::npos) << error;
    EXPECT_EQ(info.k[0], 0.0);  // "uncalibrated", as clients test it
    EXPECT_EQ(info.width, 640u);
  }
}

// A file as ROS's camera calibrator writes it.
constexpr char kCalibratorFile[] = R"(image_width: 640
image_height: 480
camera_name: rgb_A00362A00
camera_matrix:
  rows: 3
  cols: 3
  data: [525.1, 0.0, 319.5, 0.0, 524.9, 239.5, 0.0, 0.0, 1.0]
distortion_model: plumb_bob
distortion_coefficients:
  rows: 1
  cols: 5
  data: [0.1, -0.2, 0.001, 0.002, 0.0]
rectification_matrix:
  rows: 3
  cols: 3
  data: [1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0]
projection_matrix:
  rows: 3
  cols: 4
  data: [525.1, 0.0, 319.5, 0.0, 0.0, 524.9, 239.5, 0.0, 0.0, 0.0, 1.0, 0.0]
)";

TEST(CalibrationFile, reads_the_calibrators_file_and_writes_what_it_reads_back) {
  msgs::Calibration read;
  std::string error;
  ASSERT_TRUE(msgs::parse_calibration(kCalibratorFile, "rgb.yaml", 640, 480, read, error)) << error;
  EXPECT_EQ(read.camera_name, "rgb_A00362A00");
  EXPECT_EQ(read.info.width, 640u);
  EXPECT_EQ(read.info.height, 480u);
  EXPECT_EQ(read.info.k, (std::array<double, 9>{525.1, 0, 319.5, 0, 524.9, 239.5, 0, 0, 1}));
  EXPECT_EQ(read.info.d, (std::vector<double>{0.1, -0.2, 0.001, 0.002, 0.0}));
  EXPECT_EQ(read.info.p[6], 239.5);

  // Written to a file and read back: the same doubles, to the last bit.
  msgs::Calibration written;
  ASSERT_TRUE(msgs::camera_info_from_zero_plane(120, 0.10420285, written.info, error));
  written.camera_name = "depth: the Kinect's";
  written.info.d = {1.0 / 3, -2e-7, 0, 0, 5.5e10};
  kt::TempDir dir;
  ASSERT_TRUE(msgs::write_calibration_file(dir.file("depth.yaml"), written, error)) << error;
  msgs::Calibration again;
  ASSERT_TRUE(msgs::read_calibration_file(dir.file("depth.yaml"), 640, 480, again, error)) << error;
  EXPECT_EQ(again.camera_name, written.camera_name);
  EXPECT_EQ(again.info.k, written.info.k);
  EXPECT_EQ(again.info.d, written.info.d);
  EXPECT_EQ(again.info.r, written.info.r);
  EXPECT_EQ(again.info.p, written.info.p);
  EXPECT_EQ(again.info.distortion_model, "plumb_bob");
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(CalibrationFile, a_malformed_or_mismatched_file_is_refused_naming_the_file_and_field) {
  const std::string good = kCalibratorFile;
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {replaced(good, "image_width: 640", "image_width: 1280"),
       "field 'image_width': 1280, the camera's images are 640 × 480"},
      {replaced(good, "image_height: 480", "image_height: 480.5"),
       "field 'image_height': '480.5' is not a whole number"},
      {replaced(good, "camera_name: rgb_A00362A00\n", ""), "field 'camera_name': missing"},
      {replaced(good, "  rows: 3\n  cols: 3\n  data: [525.1",
                "  rows: 3\n  cols: 4\n  data: [525.1"),
       "field 'camera_matrix.cols': 4, expected 3"},
      {replaced(good, "525.1, 0.0, 319.5, 0.0, 524.9, 239.5, 0.0, 0.0, 1.0]",
                "525.1, 0.0, 319.5, 0.0, 524.9, 239.5, 0.0, 0.0]"),
       "field 'camera_matrix.data': 8 numbers, expected 9 (3 × 3)"},
      {replaced(good, "[0.1, -0.2,", "[0.1, fast,"),
       "field 'distortion_coefficients.data[1]': 'fast' is not a number"},
      {replaced(good, "[0.1, -0.2,", "[0.1, .nan,"),
       "field 'distortion_coefficients.data[1]': '.nan' is not a finite number"},
      {replaced(good, "cols: 5\n  data: [0.1, -0.2, 0.001, 0.002, 0.0]",
                "cols: 4\n  data: [0.1, -0.2, 0.001, 0.002]"),
       "field 'distortion_coefficients.cols': 4, plumb_bob takes 5"},
      {replaced(good, "distortion_model: plumb_bob", "distortion_model: fisheye"),
       "field 'distortion_model': 'fisheye' is none of plumb_bob, rational_polynomial, "
       "equidistant"},
      {replaced(good, "projection_matrix:\n  rows: 3", "projection_matrix:\n  rows: [3]"),
       "field 'projection_matrix.rows': not a number"},
      {replaced(good, "rectification_matrix:\n  rows: 3\n  cols: 3\n", "rectification_matrix:\n"),
       "field 'rectification_matrix.rows': missing"},
      {"- just\n- a list\n", "not a YAML map of calibration fields"},
  };
  for (const auto &c : cases) {
    msgs::Calibration calibration;
    std::string error;
    EXPECT_FALSE(msgs::parse_calibration(c.text, "cal.yaml", 640, 480, calibration, error));
    EXPECT_EQ(error, "cal.yaml: " + c.error);
  }

  msgs::Calibration calibration;
  std::string error;
  EXPECT_FALSE(
      msgs::parse_calibration("camera_matrix: [1, 2", "cal.yaml", 640, 480, calibration, error));
  EXPECT_EQ(error.rfind("cal.yaml: not YAML: ", 0), 0u) << error;
  EXPECT_FALSE(msgs::read_calibration_file("/nonexistent/rgb.yaml", 640, 480, calibration, error));
  EXPECT_EQ(error, "/nonexistent/rgb.yaml: cannot read the file: No such file or directory");
}

}  // namespace
