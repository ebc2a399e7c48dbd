// CDR type supports of the Time, Header and Image stand-ins: layout, bounds
// and malformed streams.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "alloc_probe.hpp"
#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_c.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_c.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_c.h"
#include "test_image.hpp"

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;

namespace {

const message_type_support_callbacks_t &image_callbacks() {
  return *static_cast<const message_type_support_callbacks_t *>(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__sensor_msgs__msg__Image()
          ->data);
}

std::vector<char> serialize(const sensor_msgs__msg__Image &image) {
  std::vector<char> storage(1 << 16);
  FastBuffer buffer(storage.data(), storage.size());
  Cdr cdr(buffer);
  EXPECT_TRUE(image_callbacks().cdr_serialize(&image, cdr));
  storage.resize(cdr.getSerializedDataLength());
  return storage;
}

// Deserializes exactly `bytes` (a heap block of that size) into `image`;
// false when the type support refused or the stream ran short.
bool deserialize(std::vector<char> bytes, sensor_msgs__msg__Image &image) {
  FastBuffer buffer(bytes.data(), bytes.size());
  Cdr cdr(buffer);
  try {
    return image_callbacks().cdr_deserialize(cdr, &image);
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return false;
  }
}

void put_u32(std::vector<char> &bytes, size_t offset, uint32_t value) {
  std::memcpy(&bytes[offset], &value, sizeof(value));  // little-endian host and stream
}

struct ImageCdr : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(sensor_msgs__msg__Image__init(&image));
    ASSERT_TRUE(sensor_msgs__msg__Image__init(&received));
    fill_rgb8_image(image, 2, 1);  // frame "kinect_rgb", encoding "rgb8", 6 bytes
  }
  void TearDown() override {
    sensor_msgs__msg__Image__fini(&image);
    sensor_msgs__msg__Image__fini(&received);
  }
  sensor_msgs__msg__Image image;
  sensor_msgs__msg__Image received;
  // Offsets in the stream of `image` as serialized from alignment 0.
  static constexpr size_t kFrameIdLength = 8;
  static constexpr size_t kEncodingLength = 32;
  static constexpr size_t kDataLength = 48;
};

}  // namespace

TEST_F(ImageCdr, layout_of_a_small_image) {
  std::vector<char> bytes = serialize(image);
  ASSERT_EQ(bytes.size(), 58u);
  EXPECT_EQ(get_serialized_size_sensor_msgs__msg__Image(&image, 0), bytes.size());
  const unsigned char expected[] = {12,  0,   0,   0,   0x59, 1,   0,   0,  // stamp 12 s, 345 ns
                                    11,  0,   0,   0,   'k',  'i', 'n', 'e', 'c',
                                    't', '_', 'r', 'g', 'b',  0,                 // frame id
                                    0,                                           // alignment
                                    1,   0,   0,   0,   2,    0,   0,   0,       // height, width
                                    5,   0,   0,   0,   'r',  'g', 'b', '8', 0,  // encoding
                                    0,                                           // is_bigendian
                                    0,   0,                                      // alignment
                                    6,   0,   0,   0,                            // step
                                    6,   0,   0,   0};                           // data length
  ASSERT_GE(bytes.size(), sizeof(expected));
  EXPECT_EQ(std::memcmp(bytes.data(), expected, sizeof(expected)), 0);
  ASSERT_TRUE(deserialize(bytes, received));
  EXPECT_TRUE(sensor_msgs__msg__Image__are_equal(&image, &received));
}

TEST_F(ImageCdr, sizes_and_bounds_of_the_nested_types) {
  bool bounded = false, plain = false;
  EXPECT_EQ(max_serialized_size_builtin_interfaces__msg__Time(bounded, plain, 0), 8u);
  EXPECT_TRUE(bounded);
  EXPECT_TRUE(plain);
  EXPECT_EQ(max_serialized_size_builtin_interfaces__msg__Time(bounded, plain, 2), 10u);
  EXPECT_FALSE(plain);
  max_serialized_size_std_msgs__msg__Header(bounded, plain, 0);
  EXPECT_FALSE(bounded);
  EXPECT_FALSE(plain);
  char key = 99;
  image_callbacks().max_serialized_size(key);
  EXPECT_EQ(key, ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE);
  for (size_t alignment = 0; alignment < 8; ++alignment) {
    // The exact size from any alignment matches what a stream writes there.
    std::vector<char> storage(256);
    FastBuffer buffer(storage.data(), storage.size());
    Cdr cdr(buffer);
    for (size_t i = 0; i < alignment; ++i) {
      cdr << uint8_t{0};
    }
    ASSERT_TRUE(image_callbacks().cdr_serialize(&image, cdr));
    EXPECT_EQ(get_serialized_size_sensor_msgs__msg__Image(&image, alignment),
              cdr.getSerializedDataLength() - alignment);
  }
}

TEST_F(ImageCdr, oversized_length_prefixes_fail_without_allocating) {
  const std::vector<char> good = serialize(image);
  for (size_t offset : {kFrameIdLength, kEncodingLength, kDataLength}) {
    for (uint32_t length : {0xFFFFFFFFu, 0x7FFFFFF0u, uint32_t(good.size())}) {
      std::vector<char> bad = good;
      put_u32(bad, offset, length);
      alloc_probe::reset();
      EXPECT_FALSE(deserialize(bad, received)) << "offset " << offset << " length " << length;
      for (const auto &event : alloc_probe::events()) {
        EXPECT_LT(event.a * std::max<size_t>(event.b, 1), good.size())
            << "allocated for a length the stream cannot hold";
      }
      alloc_probe::stop();
    }
  }
  // The image is still a valid message afterwards.
  ASSERT_TRUE(deserialize(good, received));
  EXPECT_TRUE(sensor_msgs__msg__Image__are_equal(&image, &received));
}

TEST_F(ImageCdr, string_without_terminating_zero_is_taken_whole) {
  std::vector<char> bytes = serialize(image);
  bytes[kEncodingLength + 4 + 4] = '!';  // "rgb8\0" becomes "rgb8!"
  ASSERT_TRUE(deserialize(bytes, received));
  EXPECT_STREQ(received.encoding.data, "rgb8!");
  EXPECT_EQ(received.encoding.size, 5u);
}

TEST_F(ImageCdr, invalid_messages_are_not_written) {
  std::vector<char> storage(256);
  FastBuffer buffer(storage.data(), storage.size());
  Cdr cdr(buffer);
  const size_t encoding_size = image.encoding.size;
  image.encoding.size = image.encoding.capacity;  // no room for the terminating zero
  EXPECT_FALSE(image_callbacks().cdr_serialize(&image, cdr));
  image.encoding.size = encoding_size;

  uint8_t *pixels = image.data.data;
  image.data.data = nullptr;  // bytes claimed but absent
  EXPECT_FALSE(image_callbacks().cdr_serialize(&image, cdr));
  image.data.data = pixels;
}

TEST_F(ImageCdr, string_ends_at_its_first_zero) {
  std::vector<char> bytes = serialize(image);
  bytes[kFrameIdLength + 4 + 3] = '\0';  // "kinect_rgb" becomes "kin"
  ASSERT_TRUE(deserialize(bytes, received));
  EXPECT_STREQ(received.header.frame_id.data, "kin");
  EXPECT_EQ(received.header.frame_id.size, 3u);
}
