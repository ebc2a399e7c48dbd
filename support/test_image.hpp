// Builds the images the message tests work with.
#ifndef KESTREL_SUPPORT_TEST_IMAGE_HPP_
#define KESTREL_SUPPORT_TEST_IMAGE_HPP_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "sensor_msgs/msg/image.h"

// Fills an initialised image with a width x height rgb8 picture whose bytes
// follow a recognisable pattern, and a non-empty header.
// Byte i of the test picture: recognisable, and different along a row and
// from row to row.
inline uint8_t test_pixel(size_t i) {
  return static_cast<uint8_t>(i * 7 + i / 640);
}

inline void fill_rgb8_image(sensor_msgs__msg__Image &image, uint32_t width = 640,
                            uint32_t height = 480) {
  image.header.stamp.sec = 12;
  image.header.stamp.nanosec = 345;
  ASSERT_TRUE(rosidl_runtime_c__String__assign(&image.header.frame_id, "kinect_rgb"));
  ASSERT_TRUE(rosidl_runtime_c__String__assign(&image.encoding, "rgb8"));
  image.height = height;
  image.width = width;
  image.is_bigendian = 0;
  image.step = width * 3;
  rosidl_runtime_c__uint8__Sequence__fini(&image.data);
  ASSERT_TRUE(rosidl_runtime_c__uint8__Sequence__init(&image.data, size_t{width} * height * 3));
  for (size_t i = 0; i < image.data.size; ++i) {
    image.data.data[i] = test_pixel(i);
  }
}

#endif  // KESTREL_SUPPORT_TEST_IMAGE_HPP_
