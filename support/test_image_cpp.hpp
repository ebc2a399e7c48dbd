// The C++ form of the images in test_image.hpp: the same fields and pixel
// pattern, so a C image and a C++ image filled alike encode to the same bytes.
#ifndef KESTREL_SUPPORT_TEST_IMAGE_CPP_HPP_
#define KESTREL_SUPPORT_TEST_IMAGE_CPP_HPP_

#include <cstddef>
#include <cstdint>

#include "sensor_msgs/msg/image.hpp"
#include "test_image.hpp"

inline void fill_rgb8_image(sensor_msgs::msg::Image &image, uint32_t width = 640,
                            uint32_t height = 480) {
  image.header.stamp.sec = 12;
  image.header.stamp.nanosec = 345;
  image.header.frame_id = "kinect_rgb";
  image.encoding = "rgb8";
  image.height = height;
  image.width = width;
  image.is_bigendian = 0;
  image.step = width * 3;
  image.data.resize(size_t{width} * height * 3);
  for (size_t i = 0; i < image.data.size(); ++i) {
    image.data[i] = test_pixel(i);
  }
}

#endif  // KESTREL_SUPPORT_TEST_IMAGE_CPP_HPP_
