// C functions of the Image stand-in (and through it Header and Time).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "alloc_probe.hpp"
#include "builtin_interfaces/msg/detail/time__functions.h"
#include "sensor_msgs/msg/image.h"
#include "std_msgs/msg/detail/header__functions.h"
#include "test_image.hpp"

using alloc_probe::Op;

namespace {

struct ImageFunctions : ::testing::Test {
  void SetUp() override { alloc_probe::reset(); }
  void TearDown() override {
    EXPECT_EQ(alloc_probe::outstanding(), 0) << "blocks leaked";
    alloc_probe::stop();
  }
};

}  // namespace

TEST_F(ImageFunctions, failed_init_releases_and_leaves_zeroes) {
  // The image's allocations are: frame id, encoding (the empty data takes none).
  for (int n = 1; n <= 2; ++n) {
    sensor_msgs__msg__Image image;
    std::memset(&image, 0xCD, sizeof(image));
    alloc_probe::fail_nth(Op::allocate, n);
    EXPECT_FALSE(sensor_msgs__msg__Image__init(&image)) << "failing allocation " << n;
    sensor_msgs__msg__Image zero;
    std::memset(&zero, 0, sizeof(zero));
    EXPECT_EQ(std::memcmp(&image, &zero, sizeof(image)), 0);
    sensor_msgs__msg__Image__fini(&image);  // harmless after a failed init
  }
  EXPECT_EQ(sizeof(sensor_msgs__msg__Image), 96u);
}

TEST_F(ImageFunctions, equality_sees_every_field_and_copy_restores_it) {
  using Change = std::function<void(sensor_msgs__msg__Image &)>;
  const Change changes[] = {
      [](auto &m) { m.header.stamp.sec += 1; },
      [](auto &m) { m.header.stamp.nanosec += 1; },
      [](auto &m) { rosidl_runtime_c__String__assign(&m.header.frame_id, "other"); },
      [](auto &m) { m.height += 1; },
      [](auto &m) { m.width += 1; },
      [](auto &m) { rosidl_runtime_c__String__assign(&m.encoding, "bgr8"); },
      [](auto &m) { m.is_bigendian = 1; },
      [](auto &m) { m.step += 1; },
      [](auto &m) { m.data.data[5] ^= 0xFF; },
      [](auto &m) { m.data.size -= 1; },
  };
  sensor_msgs__msg__Image *original = sensor_msgs__msg__Image__create();
  ASSERT_NE(original, nullptr);
  fill_rgb8_image(*original, 8, 4);
  int index = 0;
  for (const Change &change : changes) {
    sensor_msgs__msg__Image *copy = sensor_msgs__msg__Image__create();
    ASSERT_TRUE(sensor_msgs__msg__Image__copy(original, copy));
    EXPECT_TRUE(sensor_msgs__msg__Image__are_equal(original, copy));
    change(*copy);
    EXPECT_FALSE(sensor_msgs__msg__Image__are_equal(original, copy)) << "change " << index;
    if (copy->data.size < original->data.size) {
      copy->data.size += 1;  // the bytes stay allocated; restore the size before copying
    }
    ASSERT_TRUE(sensor_msgs__msg__Image__copy(original, copy));
    EXPECT_TRUE(sensor_msgs__msg__Image__are_equal(original, copy)) << "change " << index;
    sensor_msgs__msg__Image__destroy(copy);
    ++index;
  }
  sensor_msgs__msg__Image__destroy(original);
}

TEST_F(ImageFunctions, sequence_copy_deep_copies_and_grows) {
  sensor_msgs__msg__Image__Sequence *input = sensor_msgs__msg__Image__Sequence__create(3);
  ASSERT_NE(input, nullptr);
  for (size_t i = 0; i < 3; ++i) {
    fill_rgb8_image(input->data[i], 2, static_cast<uint32_t>(i + 1));
  }
  sensor_msgs__msg__Image__Sequence output{};
  ASSERT_TRUE(sensor_msgs__msg__Image__Sequence__copy(input, &output));
  EXPECT_EQ(output.capacity, 3u);
  EXPECT_TRUE(sensor_msgs__msg__Image__Sequence__are_equal(input, &output));
  EXPECT_NE(output.data[2].data.data, input->data[2].data.data);
  output.data[1].height = 99;
  EXPECT_FALSE(sensor_msgs__msg__Image__Sequence__are_equal(input, &output));
  sensor_msgs__msg__Image__Sequence__fini(&output);
  sensor_msgs__msg__Image__Sequence__destroy(input);
}

TEST_F(ImageFunctions, copy_onto_itself_changes_nothing_and_succeeds) {
  sensor_msgs__msg__Image__Sequence *images = sensor_msgs__msg__Image__Sequence__create(2);
  ASSERT_NE(images, nullptr);
  fill_rgb8_image(images->data[1], 4, 2);
  sensor_msgs__msg__Image *before = sensor_msgs__msg__Image__create();
  ASSERT_TRUE(sensor_msgs__msg__Image__copy(&images->data[1], before));
  sensor_msgs__msg__Image &image = images->data[1];

  EXPECT_TRUE(builtin_interfaces__msg__Time__copy(&image.header.stamp, &image.header.stamp));
  EXPECT_TRUE(std_msgs__msg__Header__copy(&image.header, &image.header));
  EXPECT_TRUE(sensor_msgs__msg__Image__copy(&image, &image));
  EXPECT_TRUE(sensor_msgs__msg__Image__Sequence__copy(images, images));
  EXPECT_EQ(images->size, 2u);
  EXPECT_TRUE(sensor_msgs__msg__Image__are_equal(&image, before));

  sensor_msgs__msg__Image__destroy(before);
  sensor_msgs__msg__Image__Sequence__destroy(images);
}
