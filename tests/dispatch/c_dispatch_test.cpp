// The C type-support dispatch end to end, as the middleware uses it: the
// Camera handles of libkestrel_ifaces__rosidl_typesupport_c resolve to the
// CDR (fastrtps C) and C introspection families, whose libraries this
// program does not link; LD_LIBRARY_PATH names the folders that hold them.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include "kestrel_ifaces/srv/camera.h"
#include "rcutils/error_handling.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "rosidl_typesupport_c/identifier.h"
#include "rosidl_typesupport_c/message_type_support_dispatch.h"
#include "rosidl_typesupport_c/service_type_support_dispatch.h"
#include "rosidl_typesupport_c/type_support_map.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "rosidl_typesupport_introspection_c/service_introspection.h"
#include "loaded_library.hpp"

namespace {

constexpr const char *fastrtps_id = "rosidl_typesupport_fastrtps_c";
constexpr const char *introspection_id = "rosidl_typesupport_introspection_c";

const type_support_map_t *map_of(const void *data) {
  return static_cast<const type_support_map_t *>(data);
}

const rosidl_message_type_support_t *request_handle() {
  return ROSIDL_GET_MSG_TYPE_SUPPORT(kestrel_ifaces, srv, Camera_Request);
}
const rosidl_message_type_support_t *response_handle() {
  return ROSIDL_GET_MSG_TYPE_SUPPORT(kestrel_ifaces, srv, Camera_Response);
}
const rosidl_service_type_support_t *service_handle() {
  return ROSIDL_GET_SRV_TYPE_SUPPORT(kestrel_ifaces, srv, Camera);
}

std::string take_error() {
  std::string text = rcutils_error_is_set() ? rcutils_get_error_string().str : "";
  rcutils_reset_error();
  return text;
}

// The file a dispatch loads for `family` of this package.
std::string library_file(const char *family) {
  return std::string("libkestrel_ifaces__") + family + ".so";
}

const message_type_support_callbacks_t *cdr_callbacks(const rosidl_message_type_support_t *handle) {
  const rosidl_message_type_support_t *found = handle->func(handle, fastrtps_id);
  return found ? static_cast<const message_type_support_callbacks_t *>(found->data) : nullptr;
}

// The message encoded by `callbacks` after the 4-byte encapsulation header,
// in the given byte order.
std::vector<char> encode(const message_type_support_callbacks_t &callbacks, const void *msg,
                         eprosima::fastcdr::Cdr::Endianness order) {
  std::vector<char> bytes(4 + callbacks.get_serialized_size(msg), 0);
  eprosima::fastcdr::FastBuffer buffer(bytes.data(), bytes.size());
  eprosima::fastcdr::Cdr cdr(buffer, order, eprosima::fastcdr::Cdr::DDS_CDR);
  cdr.serialize_encapsulation();
  EXPECT_TRUE(callbacks.cdr_serialize(msg, cdr));
  EXPECT_EQ(cdr.getSerializedDataLength(), bytes.size());
  return bytes;
}

void decode(const message_type_support_callbacks_t &callbacks, std::vector<char> bytes, void *msg) {
  eprosima::fastcdr::FastBuffer buffer(bytes.data(), bytes.size());
  eprosima::fastcdr::Cdr cdr(buffer, eprosima::fastcdr::Cdr::DEFAULT_ENDIAN,
                             eprosima::fastcdr::Cdr::DDS_CDR);
  cdr.read_encapsulation();
  EXPECT_TRUE(callbacks.cdr_deserialize(cdr, msg));
  EXPECT_EQ(cdr.getSerializedDataLength(), bytes.size());
}

TEST(CDispatch, handles_carry_identifier_function_and_map) {
  struct Case {
    const char *name;
    const char *kind;
    const char *identifier;
    const void *data;
    const void *func;
    const void *expected_func;
  };
  const auto *request = request_handle();
  const auto *response = response_handle();
  const auto *service = service_handle();
  const auto *message_func = reinterpret_cast<const void *>(
      &rosidl_typesupport_c__get_message_typesupport_handle_function);
  const Case cases[] = {
      {"Camera_Request", "message", request->typesupport_identifier, request->data,
       reinterpret_cast<const void *>(request->func), message_func},
      {"Camera_Response", "message", response->typesupport_identifier, response->data,
       reinterpret_cast<const void *>(response->func), message_func},
      {"Camera", "service", service->typesupport_identifier, service->data,
       reinterpret_cast<const void *>(service->func),
       reinterpret_cast<const void *>(
           &rosidl_typesupport_c__get_service_typesupport_handle_function)},
  };
  for (const Case &type : cases) {
    SCOPED_TRACE(type.name);
    EXPECT_EQ(type.identifier, rosidl_typesupport_c__typesupport_identifier);
    EXPECT_STREQ(type.identifier, "rosidl_typesupport_c");
    EXPECT_EQ(type.func, type.expected_func);
    const type_support_map_t *map = map_of(type.data);
    ASSERT_EQ(map->size, 2u);
    EXPECT_STREQ(map->package_name, "kestrel_ifaces");
    EXPECT_STREQ(map->typesupport_identifier[0], fastrtps_id);
    EXPECT_STREQ(map->typesupport_identifier[1], introspection_id);
    const std::string suffix = std::string("__get_") + type.kind +
                               "_type_support_handle__kestrel_ifaces__srv__" + type.name;
    EXPECT_EQ(map->symbol_name[0], fastrtps_id + suffix);
    EXPECT_EQ(map->symbol_name[1], introspection_id + suffix);
  }
}

TEST(CDispatch, lookups_return_the_loaded_family_handles) {
  for (const char *family : {fastrtps_id, introspection_id}) {
    SCOPED_TRACE(family);
    const size_t entry = std::strcmp(family, fastrtps_id) == 0 ? 0 : 1;
    const auto *request = request_handle();
    const auto *response = response_handle();
    const auto *service = service_handle();
    const void *found[] = {request->func(request, family), response->func(response, family),
                           service->func(service, family)};
    const void *maps[] = {request->data, response->data, service->data};
    for (size_t i = 0; i < 3; ++i) {
      ASSERT_NE(found[i], nullptr) << take_error();
      EXPECT_EQ(found[i],
                loaded_handle(library_file(family).c_str(), map_of(maps[i])->symbol_name[entry]));
      EXPECT_STREQ(
          static_cast<const rosidl_message_type_support_t *>(found[i])->typesupport_identifier,
          family);
    }
    EXPECT_EQ(request->func(request, family), found[0]);
  }
  EXPECT_EQ(rosidl_typesupport_c__get_message_typesupport_handle_function(request_handle(),
                                                                          "rosidl_typesupport_c"),
            request_handle());
}

TEST(CDispatch, unknown_identifier_and_null_arguments_fail_cleanly) {
  rcutils_reset_error();
  EXPECT_EQ(rosidl_typesupport_c__get_message_typesupport_handle_function(
                request_handle(), "rosidl_typesupport_nonexistent"),
            nullptr);
  EXPECT_NE(take_error().find("rosidl_typesupport_nonexistent"), std::string::npos);
  EXPECT_EQ(
      rosidl_typesupport_c__get_service_typesupport_handle_function(service_handle(), nullptr),
      nullptr);
  EXPECT_FALSE(take_error().empty());
  EXPECT_EQ(rosidl_typesupport_c__get_message_typesupport_handle_function(nullptr, fastrtps_id),
            nullptr);
  EXPECT_FALSE(take_error().empty());
}

TEST(CDispatch, cdr_service_record_names_the_type_and_points_at_the_message_handles) {
  const auto *service = service_handle();
  const rosidl_service_type_support_t *found = service->func(service, fastrtps_id);
  ASSERT_NE(found, nullptr) << take_error();
  const auto *record = static_cast<const service_type_support_callbacks_t *>(found->data);
  EXPECT_STREQ(record->service_namespace_, "kestrel_ifaces::srv");
  EXPECT_STREQ(record->service_name_, "Camera");
  EXPECT_EQ(record->request_members_, request_handle()->func(request_handle(), fastrtps_id));
  EXPECT_EQ(record->response_members_, response_handle()->func(response_handle(), fastrtps_id));
}

TEST(CDispatch, cdr_max_serialized_size_bounds_request_plain_response_unbounded) {
  const message_type_support_callbacks_t *request = cdr_callbacks(request_handle());
  const message_type_support_callbacks_t *response = cdr_callbacks(response_handle());
  ASSERT_NE(request, nullptr) << take_error();
  ASSERT_NE(response, nullptr) << take_error();
  char bounds = 0x7f;
  EXPECT_EQ(request->max_serialized_size(bounds), 2u);  // one int16
  EXPECT_EQ(bounds, ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE);
  bounds = 0x7f;
  response->max_serialized_size(bounds);
  EXPECT_EQ(bounds, ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE);
  EXPECT_STREQ(request->message_namespace_, "kestrel_ifaces::srv");
  EXPECT_STREQ(response->message_name_, "Camera_Response");
}

TEST(CDispatch, request_and_640_by_480_response_round_trip_in_both_byte_orders) {
  const message_type_support_callbacks_t *request_cb = cdr_callbacks(request_handle());
  const message_type_support_callbacks_t *response_cb = cdr_callbacks(response_handle());
  ASSERT_NE(request_cb, nullptr) << take_error();
  ASSERT_NE(response_cb, nullptr) << take_error();

  kestrel_ifaces__srv__Camera_Request *request = kestrel_ifaces__srv__Camera_Request__create();
  kestrel_ifaces__srv__Camera_Response *response = kestrel_ifaces__srv__Camera_Response__create();
  request->angle = -300;
  sensor_msgs__msg__Image &image = response->image;
  image.height = 480;
  image.width = 640;
  image.step = 640 * 3;
  ASSERT_TRUE(rosidl_runtime_c__String__assign(&image.encoding, "rgb8"));
  ASSERT_TRUE(rosidl_runtime_c__String__assign(&image.header.frame_id, "kinect_rgb"));
  image.header.stamp.sec = 1700000000;
  ASSERT_TRUE(rosidl_runtime_c__uint8__Sequence__init(&image.data, 640 * 480 * 3));
  for (size_t i = 0; i < image.data.size; ++i) {
    image.data.data[i] = static_cast<uint8_t>(i * 7);
  }

  using eprosima::fastcdr::Cdr;
  for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
    SCOPED_TRACE(order == Cdr::LITTLE_ENDIANNESS ? "little-endian" : "big-endian");
    const std::vector<char> request_bytes = encode(*request_cb, request, order);
    // -300 is 0xfed4, after the encapsulation header 00 01 00 00 (LE) / 00 00 00 00 (BE).
    const std::vector<char> expected = order == Cdr::LITTLE_ENDIANNESS
                                           ? std::vector<char>{0, 1, 0, 0, '\xd4', '\xfe'}
                                           : std::vector<char>{0, 0, 0, 0, '\xfe', '\xd4'};
    EXPECT_EQ(request_bytes, expected);
    kestrel_ifaces__srv__Camera_Request *request_back =
        kestrel_ifaces__srv__Camera_Request__create();
    decode(*request_cb, request_bytes, request_back);
    EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__are_equal(request, request_back));
    kestrel_ifaces__srv__Camera_Request__destroy(request_back);

    const std::vector<char> response_bytes = encode(*response_cb, response, order);
    kestrel_ifaces__srv__Camera_Response *response_back =
        kestrel_ifaces__srv__Camera_Response__create();
    decode(*response_cb, response_bytes, response_back);
    EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(response, response_back));
    kestrel_ifaces__srv__Camera_Response__destroy(response_back);
  }
  kestrel_ifaces__srv__Camera_Request__destroy(request);
  kestrel_ifaces__srv__Camera_Response__destroy(response);
}

TEST(CDispatch, introspection_records_describe_the_camera_types) {
  const auto *request = request_handle()->func(request_handle(), introspection_id);
  const auto *service = service_handle()->func(service_handle(), introspection_id);
  ASSERT_NE(request, nullptr) << take_error();
  ASSERT_NE(service, nullptr) << take_error();
  const auto *members =
      static_cast<const rosidl_typesupport_introspection_c__MessageMembers *>(request->data);
  EXPECT_STREQ(members->message_namespace_, "kestrel_ifaces__srv");
  EXPECT_STREQ(members->message_name_, "Camera_Request");
  ASSERT_EQ(members->member_count_, 1u);
  EXPECT_STREQ(members->members_[0].name_, "angle");
  const auto *service_members =
      static_cast<const rosidl_typesupport_introspection_c__ServiceMembers *>(service->data);
  EXPECT_STREQ(service_members->service_name_, "Camera");
  EXPECT_EQ(service_members->request_members_, members);
}

}  // namespace
