// The C++ CDR type supports of Time, Header, Image and Camera, linked
// directly as a package embedding these types would: getters, bytes against
// the C family from every alignment, bounds, and malformed streams.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/Exception.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_c.h"
#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_cpp.hpp"
#include "cdr_stream.hpp"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_cpp.hpp"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_c.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_cpp.hpp"
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_c.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_cpp.hpp"
#include "test_image.hpp"
#include "test_image_cpp.hpp"

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;
using Callbacks = message_type_support_callbacks_t;

// The largest block requested from operator new while `tracking` is set: a
// deserializer that allocates for a length before checking it shows here.
namespace {
bool tracking = false;
size_t largest_request = 0;
}  // namespace

// The replacements pair malloc with free; GCC, seeing operator new inlined
// beside them, takes that for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(size_t bytes) {
  if (tracking) {
    largest_request = std::max(largest_request, bytes);
  }
  if (void *block = std::malloc(bytes == 0 ? 1 : bytes)) {
    return block;
  }
  throw std::bad_alloc();
}
void operator delete(void *block) noexcept {
  std::free(block);
}
void operator delete(void *block, size_t) noexcept {
  std::free(block);
}
#pragma GCC diagnostic pop

namespace {

const Callbacks &callbacks(const rosidl_message_type_support_t *handle) {
  return *static_cast<const Callbacks *>(handle->data);
}

const Callbacks &cpp_image() {
  return callbacks(
      rosidl_typesupport_fastrtps_cpp::get_message_type_support_handle<sensor_msgs::msg::Image>());
}

// A C and a C++ message filled alike, and each family's callbacks for them.
struct C_CppPair {
  const char *name;
  const Callbacks &c;
  const void *c_message;
  const Callbacks &cpp;
  const void *cpp_message;
  void *cpp_scratch;  // a default-built C++ message to decode into
};

struct Messages : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(sensor_msgs__msg__Image__init(&c_image));
    fill_rgb8_image(c_image, 4, 3);
    fill_rgb8_image(cpp_image_message, 4, 3);
  }
  void TearDown() override { sensor_msgs__msg__Image__fini(&c_image); }

  std::vector<C_CppPair> pairs() {
    namespace ts = rosidl_typesupport_fastrtps_cpp;
    return {
        {"Time",
         callbacks(
             rosidl_typesupport_fastrtps_c__get_message_type_support_handle__builtin_interfaces__msg__Time()),
         &c_image.header.stamp,
         callbacks(ts::get_message_type_support_handle<builtin_interfaces::msg::Time>()),
         &cpp_image_message.header.stamp, &time_scratch},
        {"Header",
         callbacks(
             rosidl_typesupport_fastrtps_c__get_message_type_support_handle__std_msgs__msg__Header()),
         &c_image.header, callbacks(ts::get_message_type_support_handle<std_msgs::msg::Header>()),
         &cpp_image_message.header, &header_scratch},
        {"Image",
         callbacks(
             rosidl_typesupport_fastrtps_c__get_message_type_support_handle__sensor_msgs__msg__Image()),
         &c_image, cpp_image(), &cpp_image_message, &image_scratch},
    };
  }

  sensor_msgs__msg__Image c_image;
  sensor_msgs::msg::Image cpp_image_message;
  builtin_interfaces::msg::Time time_scratch;
  std_msgs::msg::Header header_scratch;
  sensor_msgs::msg::Image image_scratch;
};

// Encodes with the C++ callbacks from `lead` zero bytes in.
std::vector<uint8_t> encode(const Callbacks &family, const void *message, size_t lead,
                            Cdr::Endianness order) {
  Stream stream(4096, order);
  for (size_t i = 0; i < lead; ++i) {
    stream.cdr << uint8_t{0};
  }
  EXPECT_TRUE(family.cdr_serialize(message, stream.cdr));
  return stream.written();
}

// Decodes exactly `bytes` (a heap block of that size, so AddressSanitizer
// sees any read past it); false when refused or when the stream ran short.
bool decode(std::vector<char> bytes, const Callbacks &family, void *message) {
  FastBuffer buffer(bytes.data(), bytes.size());
  Cdr cdr(buffer);
  try {
    return family.cdr_deserialize(cdr, message);
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return false;
  }
}

std::vector<char> as_chars(const std::vector<uint8_t> &bytes) {
  return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(FastrtpsCppGetters, c_and_cpp_getters_return_the_same_tagged_handles) {
  namespace ts = rosidl_typesupport_fastrtps_cpp;
  using kestrel_ifaces::srv::Camera;
  const rosidl_message_type_support_t *const messages[][2] = {
      {ts::get_message_type_support_handle<builtin_interfaces::msg::Time>(),
       rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__builtin_interfaces__msg__Time()},
      {ts::get_message_type_support_handle<std_msgs::msg::Header>(),
       rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__std_msgs__msg__Header()},
      {ts::get_message_type_support_handle<sensor_msgs::msg::Image>(),
       rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__sensor_msgs__msg__Image()},
      {ts::get_message_type_support_handle<Camera::Request>(),
       rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request()},
      {ts::get_message_type_support_handle<Camera::Response>(),
       rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response()},
  };
  for (const auto &pair : messages) {
    EXPECT_EQ(pair[0], pair[1]);
    EXPECT_EQ(pair[0]->typesupport_identifier, ts::typesupport_identifier);
    EXPECT_EQ(pair[0]->func, get_message_typesupport_handle_function);
  }
  const rosidl_service_type_support_t *service = ts::get_service_type_support_handle<Camera>();
  EXPECT_EQ(
      service,
      rosidl_typesupport_fastrtps_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera());
  EXPECT_EQ(service->typesupport_identifier, ts::typesupport_identifier);
  const auto *record = static_cast<const service_type_support_callbacks_t *>(service->data);
  EXPECT_EQ(record->request_members_, messages[3][0]);
  EXPECT_EQ(record->response_members_, messages[4][0]);
}

TEST_F(Messages, each_type_encodes_as_the_c_family_from_every_alignment_and_round_trips) {
  for (const C_CppPair &pair : pairs()) {
    for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
      for (size_t lead = 0; lead < 8; ++lead) {
        SCOPED_TRACE(testing::Message()
                     << pair.name << " lead " << lead << " order " << int(order));
        const std::vector<uint8_t> bytes = encode(pair.cpp, pair.cpp_message, lead, order);
        EXPECT_EQ(bytes, encode(pair.c, pair.c_message, lead, order));

        // Decoded into a fresh message, it encodes to the same bytes again.
        Stream in(bytes.size(), order);
        std::memcpy(in.storage.data(), bytes.data(), bytes.size());
        ASSERT_TRUE(in.cdr.jump(lead));
        ASSERT_TRUE(pair.cpp.cdr_deserialize(in.cdr, pair.cpp_scratch));
        EXPECT_EQ(in.cdr.getSerializedDataLength(), bytes.size());
        EXPECT_EQ(encode(pair.cpp, pair.cpp_scratch, lead, order), bytes);
      }
    }
    SCOPED_TRACE(pair.name);
    EXPECT_EQ(pair.cpp.get_serialized_size(pair.cpp_message),
              encode(pair.cpp, pair.cpp_message, 0, Cdr::LITTLE_ENDIANNESS).size());
    char cpp_key = 99, c_key = 98;
    EXPECT_EQ(pair.cpp.max_serialized_size(cpp_key), pair.c.max_serialized_size(c_key));
    EXPECT_EQ(cpp_key, c_key);
    EXPECT_STREQ(pair.cpp.message_name_, pair.c.message_name_);
    EXPECT_STREQ(pair.cpp.message_namespace_, pair.c.message_namespace_);
  }
}

TEST(FastrtpsCppBounds, per_type_maximum_sizes_and_flags) {
  namespace time_ts = builtin_interfaces::msg::typesupport_fastrtps_cpp;
  namespace camera_ts = kestrel_ifaces::srv::typesupport_fastrtps_cpp;
  struct Case {
    const char *name;
    size_t (*max_size)(bool &, bool &, size_t);
    size_t alignment;
    size_t size;
    bool bounded, plain;
  };
  bool bounded = true, plain = true;
  // The image's fixed parts only: the response is exactly its image.
  const size_t image_max =
      sensor_msgs::msg::typesupport_fastrtps_cpp::max_serialized_size_Image(bounded, plain, 0);
  const Case cases[] = {
      {"Time at 0", time_ts::max_serialized_size_Time, 0, 8, true, true},
      {"Time at 2", time_ts::max_serialized_size_Time, 2, 10, true, false},
      {"Request at 0", camera_ts::max_serialized_size_Camera_Request, 0, 2, true, true},
      {"Request at 1", camera_ts::max_serialized_size_Camera_Request, 1, 3, true, false},
      {"Response at 0", camera_ts::max_serialized_size_Camera_Response, 0, image_max, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    bounded = !c.bounded;
    plain = !c.plain;
    EXPECT_EQ(c.max_size(bounded, plain, c.alignment), c.size);
    EXPECT_EQ(bounded, c.bounded);
    EXPECT_EQ(plain, c.plain);
  }
}

TEST_F(Messages, oversized_length_prefixes_fail_without_allocating) {
  const std::vector<uint8_t> good =
      encode(cpp_image(), &cpp_image_message, 0, Cdr::LITTLE_ENDIANNESS);
  // Offsets of the frame id's, the encoding's and the data's length prefixes.
  for (size_t offset : {8, 32, 48}) {
    for (uint32_t length : {0xFFFFFFFFu, 0x7FFFFFF0u, uint32_t(good.size())}) {
      SCOPED_TRACE(testing::Message() << "offset " << offset << " length " << length);
      std::vector<char> bad = as_chars(good);
      std::memcpy(&bad[offset], &length, sizeof(length));  // little-endian host and stream
      sensor_msgs::msg::Image received;
      largest_request = 0;
      tracking = true;
      const bool accepted = decode(std::move(bad), cpp_image(), &received);
      tracking = false;
      EXPECT_FALSE(accepted);
      EXPECT_LT(largest_request, good.size()) << "allocated for a length the stream cannot hold";
    }
  }
  sensor_msgs::msg::Image received;
  ASSERT_TRUE(decode(as_chars(good), cpp_image(), &received));
  EXPECT_EQ(received, cpp_image_message);
}

TEST_F(Messages, truncated_response_fails_without_reading_past_the_stream) {
  kestrel_ifaces::srv::Camera_Response response, received;
  fill_rgb8_image(response.image, 4, 3);
  const Callbacks &family = callbacks(
      rosidl_typesupport_fastrtps_cpp::get_message_type_support_handle<decltype(response)>());
  const std::vector<uint8_t> bytes = encode(family, &response, 0, Cdr::LITTLE_ENDIANNESS);
  for (size_t length = 0; length < bytes.size(); ++length) {
    EXPECT_FALSE(decode({bytes.begin(), bytes.begin() + length}, family, &received))
        << "accepted a stream cut to " << length << " bytes";
  }
  EXPECT_TRUE(decode(as_chars(bytes), family, &received));
  EXPECT_EQ(received, response);
}

TEST_F(Messages, strings_end_at_their_first_zero_or_are_taken_whole) {
  const std::vector<char> good =
      as_chars(encode(cpp_image(), &cpp_image_message, 0, Cdr::LITTLE_ENDIANNESS));
  struct Case {
    size_t offset;
    char byte;
    std::string frame_id, encoding;
  } cases[] = {
      {8 + 4 + 3, '\0', "kin", "rgb8"},          // "kinect_rgb" becomes "kin"
      {32 + 4 + 4, '!', "kinect_rgb", "rgb8!"},  // "rgb8\0" loses its zero
  };
  for (const Case &c : cases) {
    std::vector<char> bytes = good;
    bytes[c.offset] = c.byte;
    sensor_msgs::msg::Image received;
    ASSERT_TRUE(decode(bytes, cpp_image(), &received));
    EXPECT_EQ(received.header.frame_id, c.frame_id);
    EXPECT_EQ(received.encoding, c.encoding);
  }
  // A string holding a zero is written whole, as the C family writes its size.
  cpp_image_message.encoding = std::string("rg\0b8", 5);
  const std::vector<uint8_t> bytes =
      encode(cpp_image(), &cpp_image_message, 0, Cdr::LITTLE_ENDIANNESS);
  EXPECT_EQ(cpp_image().get_serialized_size(&cpp_image_message), bytes.size());
  EXPECT_EQ(bytes[32], 6u);
}

TEST(FastrtpsCppCallbacks, null_message_writes_one_line_per_call_and_leaves_the_stream) {
  using kestrel_ifaces::srv::Camera;
  const Callbacks *all[] = {
      &callbacks(
          rosidl_typesupport_fastrtps_cpp::get_message_type_support_handle<Camera::Request>()),
      &callbacks(
          rosidl_typesupport_fastrtps_cpp::get_message_type_support_handle<Camera::Response>()),
      &cpp_image()};
  for (const Callbacks *family : all) {
    SCOPED_TRACE(family->message_name_);
    Stream stream(16);
    stream.cdr << uint8_t{1};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(family->cdr_serialize(nullptr, stream.cdr));
    EXPECT_FALSE(family->cdr_deserialize(stream.cdr, nullptr));
    EXPECT_EQ(family->get_serialized_size(nullptr), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ros message handle is null\nros message handle is null\n"
              "ros message handle is null\n");
    EXPECT_EQ(stream.cdr.getSerializedDataLength(), 1u);
  }
}
