// camserve on the simulated Kinect, whose cameras the motor tilts: the
// pictures at -20, 0 and 20 degrees differ, and each is the scene of
// sim/README.md seen at its angle, once the motor has got there (a picture
// taken on the way would differ from it).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness.hpp"
#include "scene.hpp"
#include "service_helpers.hpp"

namespace kt = kestrel::test;

namespace {

constexpr int kPixels = ksim::kWidth * ksim::kHeight;

TEST(TiltView, RgbPicturesAtThreeAnglesAreTheSceneAtEach) {
  kt::TempDir dir;
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  const int angles[] = {-20, 0, 20};
  std::vector<std::vector<uint8_t>> pictures;
  for (int angle : angles) {
    const std::string png = dir.file(std::to_string(angle) + ".png");
    kt::RunResult call = kt::run_camcall({"--angle", std::to_string(angle), "--out", png});
    ASSERT_EQ(call.exit_code, 0) << angle << ": " << call.err;
    kt::Image image = kt::load_png(png);
    ASSERT_EQ(image.width, ksim::kWidth);
    ASSERT_EQ(image.height, ksim::kHeight);
    std::vector<uint8_t> pixels(kPixels * 3);
    int wrong = 0;
    for (int i = 0; i < kPixels; ++i) {
      const kt::Image::Pixel got = image.at(i % ksim::kWidth, i / ksim::kWidth);
      uint8_t *p = &pixels[i * 3];
      p[0] = got.r, p[1] = got.g, p[2] = got.b;
      uint8_t want[3];
      ksim::rgb_tilted(i % ksim::kWidth, i / ksim::kWidth, angle, want);
      wrong += std::memcmp(want, p, 3) != 0;
    }
    EXPECT_EQ(wrong, 0) << angle;
    pictures.push_back(std::move(pixels));
  }
  // The view swings by about 590 px × tan(20°): most pixels change.
  for (size_t a = 0; a < pictures.size(); ++a) {
    for (size_t b = a + 1; b < pictures.size(); ++b) {
      int differ = 0;
      for (int i = 0; i < kPixels; ++i)
        differ += std::memcmp(&pictures[a][i * 3], &pictures[b][i * 3], 3) != 0;
      EXPECT_GT(differ, kPixels / 2) << angles[a] << " and " << angles[b];
    }
  }
}

}  // namespace
