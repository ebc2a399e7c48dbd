// CDR type support of the Camera messages, against the real Fast-CDR.
//
// This executable interposes max_serialized_size_sensor_msgs__msg__Image so a
// test can make the image report other bounds; by default it forwards.
#include <dlfcn.h>
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cdr_stream.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "rosidl_typesupport_fastrtps_c/identifier.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_c.h"
#include "test_image.hpp"

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;

namespace {

using Request = kestrel_ifaces__srv__Camera_Request;
using Response = kestrel_ifaces__srv__Camera_Response;
using Callbacks = message_type_support_callbacks_t;

// Bounds the interposed image maximum-size function reports; `forward`
// makes it call the real one.
struct ImageBounds {
  bool forward = true;
  bool bounded = false;
  bool plain = false;
  size_t size = 0;
} image_bounds;

const Callbacks &callbacks(const rosidl_message_type_support_t *handle) {
  return *static_cast<const Callbacks *>(handle->data);
}

const Callbacks &request_callbacks() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request());
}

const Callbacks &response_callbacks() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response());
}

const Callbacks &image_callbacks() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__sensor_msgs__msg__Image());
}

struct ResponseFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&response));
    ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&received));
    fill_rgb8_image(response.image);
  }
  void TearDown() override {
    kestrel_ifaces__srv__Camera_Response__fini(&response);
    kestrel_ifaces__srv__Camera_Response__fini(&received);
  }
  Response response;
  Response received;
};

}  // namespace

extern "C" size_t max_serialized_size_sensor_msgs__msg__Image(bool &full_bounded, bool &is_plain,
                                                              size_t current_alignment) {
  if (image_bounds.forward) {
    using Fn = size_t (*)(bool &, bool &, size_t);
    static const Fn real = [] {
      void *symbol = dlsym(RTLD_NEXT, "max_serialized_size_sensor_msgs__msg__Image");
      Fn fn;
      std::memcpy(&fn, &symbol, sizeof(fn));
      return fn;
    }();
    return real(full_bounded, is_plain, current_alignment);
  }
  full_bounded = image_bounds.bounded;
  is_plain = image_bounds.plain;
  return image_bounds.size;
}

TEST(CameraRequestCdr, angle_bytes_in_both_byte_orders) {
  struct Case {
    int16_t angle;
    Cdr::Endianness order;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {258, Cdr::LITTLE_ENDIANNESS, {0x02, 0x01}},
      {258, Cdr::BIG_ENDIANNESS, {0x01, 0x02}},
      {-1, Cdr::LITTLE_ENDIANNESS, {0xFF, 0xFF}},
      {-32768, Cdr::BIG_ENDIANNESS, {0x80, 0x00}},
  };
  for (const Case &c : cases) {
    Stream out(8, c.order);
    Request request{c.angle};
    ASSERT_TRUE(request_callbacks().cdr_serialize(&request, out.cdr));
    EXPECT_EQ(out.written(), c.bytes) << "angle " << c.angle;

    Stream in(8, c.order);
    std::memcpy(in.storage.data(), c.bytes.data(), c.bytes.size());
    Request back{0};
    ASSERT_TRUE(request_callbacks().cdr_deserialize(in.cdr, &back));
    EXPECT_EQ(back.angle, c.angle);
  }
}

TEST(CameraRequestCdr, odd_start_gets_one_alignment_byte) {
  Stream out(8);
  out.cdr << uint8_t{0xAA};
  Request request{258};
  ASSERT_TRUE(request_callbacks().cdr_serialize(&request, out.cdr));
  std::vector<uint8_t> bytes = out.written();
  ASSERT_EQ(bytes.size(), 4u);
  EXPECT_EQ(bytes[2], 0x02);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(get_serialized_size_kestrel_ifaces__srv__Camera_Request(&request, 1), 3u);

  Stream in(8);
  std::memcpy(in.storage.data(), bytes.data(), bytes.size());
  uint8_t first = 0;
  in.cdr >> first;
  Request back{0};
  ASSERT_TRUE(request_callbacks().cdr_deserialize(in.cdr, &back));
  EXPECT_EQ(back.angle, 258);
}

TEST(CameraRequestCdr, sizes_and_bounds) {
  const size_t expected[] = {2, 3, 2, 3};
  for (size_t alignment = 0; alignment < 4; ++alignment) {
    EXPECT_EQ(get_serialized_size_kestrel_ifaces__srv__Camera_Request(nullptr, alignment),
              expected[alignment]);
  }
  bool bounded = false, plain = false;
  EXPECT_EQ(max_serialized_size_kestrel_ifaces__srv__Camera_Request(bounded, plain, 0), 2u);
  EXPECT_TRUE(bounded);
  EXPECT_TRUE(plain);
  EXPECT_EQ(max_serialized_size_kestrel_ifaces__srv__Camera_Request(bounded, plain, 1), 3u);
  EXPECT_TRUE(bounded);
  EXPECT_FALSE(plain);

  char key = 99;
  EXPECT_EQ(request_callbacks().max_serialized_size(key), 2u);
  EXPECT_EQ(key, ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE);
  EXPECT_EQ(key, 3);
  Request request{1};
  EXPECT_EQ(request_callbacks().get_serialized_size(&request), 2u);
}

TEST_F(ResponseFixture, encoding_is_exactly_the_images_encoding) {
  for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
    for (size_t lead : {0, 1, 3}) {  // bytes written before the response
      Stream via_response(1 << 20, order), via_image(1 << 20, order);
      for (size_t i = 0; i < lead; ++i) {
        via_response.cdr << uint8_t{0};
        via_image.cdr << uint8_t{0};
      }
      ASSERT_TRUE(response_callbacks().cdr_serialize(&response, via_response.cdr));
      ASSERT_TRUE(image_callbacks().cdr_serialize(&response.image, via_image.cdr));
      EXPECT_EQ(via_response.written(), via_image.written());
      size_t size = get_serialized_size_kestrel_ifaces__srv__Camera_Response(&response, lead);
      EXPECT_EQ(size, get_serialized_size_sensor_msgs__msg__Image(&response.image, lead));
      EXPECT_EQ(size, via_response.written().size() - lead) << "size must match bytes written";
    }
  }
  EXPECT_EQ(response_callbacks().get_serialized_size(&response),
            get_serialized_size_sensor_msgs__msg__Image(&response.image, 0));
}

TEST_F(ResponseFixture, full_image_round_trips_in_both_byte_orders) {
  for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
    Stream out(1 << 20, order);
    out.cdr << uint8_t{0x42};  // start at an odd offset
    ASSERT_TRUE(response_callbacks().cdr_serialize(&response, out.cdr));
    Stream in(out.storage.size(), order);
    in.storage = out.storage;
    uint8_t lead = 0;
    in.cdr >> lead;

    ASSERT_TRUE(response_callbacks().cdr_deserialize(in.cdr, &received));
    EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(&response, &received));
    EXPECT_EQ(in.cdr.getSerializedDataLength(), out.cdr.getSerializedDataLength());
  }
}

TEST(CameraResponseCdr, bounds_key_follows_the_image) {
  char key = 99;
  bool image_bounded = true, image_plain = true;
  size_t image_max = max_serialized_size_sensor_msgs__msg__Image(image_bounded, image_plain, 0);
  EXPECT_EQ(response_callbacks().max_serialized_size(key), image_max);
  EXPECT_EQ(key, ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE);

  struct Case {
    bool bounded, plain;
    char key;
  } cases[] = {{false, false, 0}, {true, false, 1}, {true, true, 3}, {false, true, 3}};
  for (const Case &c : cases) {
    image_bounds = {false, c.bounded, c.plain, 77};
    key = 99;
    EXPECT_EQ(response_callbacks().max_serialized_size(key), 77u);
    EXPECT_EQ(key, c.key) << "bounded " << c.bounded << " plain " << c.plain;
    bool bounded = !c.bounded, plain = !c.plain;
    EXPECT_EQ(max_serialized_size_kestrel_ifaces__srv__Camera_Response(bounded, plain, 5), 77u);
    EXPECT_EQ(bounded, c.bounded);
    EXPECT_EQ(plain, c.plain);
  }
  image_bounds = {};
}

TEST(CameraCdr, null_message_writes_one_line_and_leaves_the_stream) {
  const Callbacks *all[] = {&request_callbacks(), &response_callbacks()};
  for (const Callbacks *cb : all) {
    Stream stream(16);
    stream.cdr << uint8_t{1};
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(cb->cdr_serialize(nullptr, stream.cdr));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ros message handle is null\n");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(cb->cdr_deserialize(stream.cdr, nullptr));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ros message handle is null\n");
    EXPECT_EQ(stream.cdr.getSerializedDataLength(), 1u) << cb->message_name_;
  }
  // A size needs the message's contents, except for the fixed-size request.
  for (const Callbacks *cb : {&response_callbacks(), &image_callbacks()}) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(cb->get_serialized_size(nullptr), 0u) << cb->message_name_;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ros message handle is null\n");
  }
  EXPECT_EQ(request_callbacks().get_serialized_size(nullptr), 2u);
}

TEST(CameraCdr, handles_are_static_records_filled_at_load) {
  const rosidl_message_type_support_t *request =
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();
  const rosidl_message_type_support_t *response =
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();
  const rosidl_service_type_support_t *service =
      rosidl_typesupport_fastrtps_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera();
  EXPECT_EQ(
      request,
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request());
  EXPECT_EQ(
      response,
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response());
  EXPECT_EQ(
      service,
      rosidl_typesupport_fastrtps_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera());

  for (const rosidl_message_type_support_t *handle : {request, response}) {
    EXPECT_EQ(handle->typesupport_identifier, rosidl_typesupport_fastrtps_c__identifier);
    EXPECT_EQ(handle->func, get_message_typesupport_handle_function);
    EXPECT_EQ(get_message_typesupport_handle_function(handle, "rosidl_typesupport_fastrtps_c"),
              handle);
    EXPECT_STREQ(callbacks(handle).message_namespace_, "kestrel_ifaces::srv");
  }
  EXPECT_STREQ(callbacks(request).message_name_, "Camera_Request");
  EXPECT_STREQ(callbacks(response).message_name_, "Camera_Response");

  EXPECT_EQ(service->typesupport_identifier, rosidl_typesupport_fastrtps_c__identifier);
  EXPECT_EQ(service->func, get_service_typesupport_handle_function);
  const auto *records = static_cast<const service_type_support_callbacks_t *>(service->data);
  EXPECT_STREQ(records->service_namespace_, "kestrel_ifaces::srv");
  EXPECT_STREQ(records->service_name_, "Camera");
  EXPECT_EQ(records->request_members_, request);
  EXPECT_EQ(records->response_members_, response);
}

TEST_F(ResponseFixture, truncated_stream_fails_without_reading_past_it) {
  fill_rgb8_image(response.image, 4, 3);
  Stream out(4096);
  ASSERT_TRUE(response_callbacks().cdr_serialize(&response, out.cdr));
  std::vector<uint8_t> bytes = out.written();
  for (size_t length = 0; length < bytes.size(); ++length) {
    // An exact-size heap copy, so AddressSanitizer sees any read past it.
    std::vector<char> cut(bytes.begin(), bytes.begin() + length);
    FastBuffer buffer(cut.data(), cut.size());
    Cdr cdr(buffer);
    bool ok = true;
    try {
      ok = response_callbacks().cdr_deserialize(cdr, &received);
    } catch (const eprosima::fastcdr::exception::Exception &) {
      ok = false;
    }
    EXPECT_FALSE(ok) << "accepted a stream cut to " << length << " bytes";
  }
}
