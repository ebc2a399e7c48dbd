// C introspection of the Camera service and of the Image it carries: table
// contents against the C layouts, what the getters fill and when, init
// functions per mode, and a type-blind walker checked against the data model.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_c.h"
#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_c.h"
#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "rosidl_typesupport_introspection_c/field_types.h"
#include "rosidl_typesupport_introspection_c/identifier.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "rosidl_typesupport_introspection_c/service_introspection.h"
#include "sensor_msgs/msg/detail/image__functions.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_c.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_c.h"
#include "walkers.hpp"

namespace {

using Member = rosidl_typesupport_introspection_c__MessageMember;
using Members = rosidl_typesupport_introspection_c__MessageMembers;
using ServiceMembers = rosidl_typesupport_introspection_c__ServiceMembers;

const rosidl_message_type_support_t *request_handle() {
  return rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();
}
const rosidl_message_type_support_t *response_handle() {
  return rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();
}
const rosidl_service_type_support_t *service_handle() {
  return rosidl_typesupport_introspection_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera();
}
const rosidl_message_type_support_t *image_handle() {
  return rosidl_typesupport_introspection_c__get_message_type_support_handle__sensor_msgs__msg__Image();
}

const Members *members_of(const rosidl_message_type_support_t *handle) {
  return static_cast<const Members *>(handle->data);
}

// The records are writable library state; the tests reset them to check the
// getters' fill rules.
ServiceMembers *service_members(const rosidl_service_type_support_t *handle) {
  return static_cast<ServiceMembers *>(const_cast<void *>(handle->data));
}
Member *response_member() {
  return const_cast<Member *>(&members_of(response_handle())->members_[0]);
}

// An initialized C response holding a rows × columns rgb8 picture with a ramp.
struct Response {
  kestrel_ifaces__srv__Camera_Response msg{};
  Response() { EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&msg)); }
  Response(uint32_t rows, uint32_t columns) : Response() {
    sensor_msgs__msg__Image &image = msg.image;
    image.header.stamp.sec = 1700000000;
    image.header.stamp.nanosec = 250000000u;
    EXPECT_TRUE(rosidl_runtime_c__String__assign(&image.header.frame_id, "kinect_rgb"));
    image.height = rows;
    image.width = columns;
    EXPECT_TRUE(rosidl_runtime_c__String__assign(&image.encoding, "rgb8"));
    image.is_bigendian = 0;
    image.step = columns * 3;
    rosidl_runtime_c__uint8__Sequence__fini(&image.data);
    EXPECT_TRUE(rosidl_runtime_c__uint8__Sequence__init(&image.data, size_t{image.step} * rows));
    for (size_t i = 0; i < image.data.size; ++i) {
      image.data.data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
  }
  ~Response() { kestrel_ifaces__srv__Camera_Response__fini(&msg); }
  Response(const Response &) = delete;
  Response &operator=(const Response &) = delete;
};

struct MemberRow {
  const char *name;
  uint8_t type_id;
  uint32_t offset;
  bool is_array;
};

void expect_members(const Members *members, const char *ns, const char *name, size_t size_of,
                    const std::vector<MemberRow> &rows) {
  SCOPED_TRACE(name);
  EXPECT_STREQ(members->message_namespace_, ns);
  EXPECT_STREQ(members->message_name_, name);
  EXPECT_EQ(members->size_of_, size_of);
  ASSERT_EQ(members->member_count_, rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const Member &member = members->members_[i];
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(member.name_, rows[i].name);
    EXPECT_EQ(member.type_id_, rows[i].type_id);
    EXPECT_EQ(member.offset_, rows[i].offset);
    EXPECT_EQ(member.is_array_, rows[i].is_array);
    EXPECT_EQ(member.string_upper_bound_, 0u);
    EXPECT_EQ(member.array_size_, 0u);
    EXPECT_FALSE(member.is_upper_bound_);
    EXPECT_EQ(member.default_value_, nullptr);
    const bool has_sequence_functions = member.size_function && member.get_const_function &&
                                        member.get_function && member.fetch_function &&
                                        member.assign_function && member.resize_function;
    EXPECT_EQ(has_sequence_functions, rows[i].is_array);
  }
}

TEST(CIntrospection, tables_match_the_c_layouts) {
  const uint8_t message = rosidl_typesupport_introspection_c__ROS_TYPE_MESSAGE;
  const uint8_t string = rosidl_typesupport_introspection_c__ROS_TYPE_STRING;
  const uint8_t uint32 = rosidl_typesupport_introspection_c__ROS_TYPE_UINT32;
  expect_members(members_of(request_handle()), "kestrel_ifaces__srv", "Camera_Request", 2,
                 {{"angle", rosidl_typesupport_introspection_c__ROS_TYPE_INT16, 0, false}});
  expect_members(members_of(response_handle()), "kestrel_ifaces__srv", "Camera_Response", 96,
                 {{"image", message, 0, false}});
  expect_members(members_of(image_handle()), "sensor_msgs__msg", "Image", 96,
                 {{"header", message, 0, false},
                  {"height", uint32, 32, false},
                  {"width", uint32, 36, false},
                  {"encoding", string, 40, false},
                  {"is_bigendian", rosidl_typesupport_introspection_c__ROS_TYPE_UINT8, 64, false},
                  {"step", uint32, 68, false},
                  {"data", rosidl_typesupport_introspection_c__ROS_TYPE_UINT8, 72, true}});
  expect_members(
      members_of(
          rosidl_typesupport_introspection_c__get_message_type_support_handle__std_msgs__msg__Header()),
      "std_msgs__msg", "Header", 32,
      {{"stamp", message, 0, false}, {"frame_id", string, 8, false}});
  expect_members(
      members_of(
          rosidl_typesupport_introspection_c__get_message_type_support_handle__builtin_interfaces__msg__Time()),
      "builtin_interfaces__msg", "Time", 8,
      {{"sec", rosidl_typesupport_introspection_c__ROS_TYPE_INT32, 0, false},
       {"nanosec", uint32, 4, false}});
}

TEST(CIntrospection, getters_fill_identifiers_and_return_the_same_address) {
  const rosidl_message_type_support_t *request = request_handle();
  EXPECT_EQ(request->typesupport_identifier, rosidl_typesupport_introspection_c__identifier);
  EXPECT_EQ(request->func, get_message_typesupport_handle_function);
  EXPECT_EQ(request_handle(), request);
  EXPECT_EQ(response_handle()->typesupport_identifier,
            rosidl_typesupport_introspection_c__identifier);
  EXPECT_EQ(response_handle(), response_handle());
  const rosidl_service_type_support_t *service = service_handle();
  EXPECT_EQ(service->typesupport_identifier, rosidl_typesupport_introspection_c__identifier);
  EXPECT_EQ(service->func, get_service_typesupport_handle_function);
  EXPECT_EQ(service_handle(), service);
  EXPECT_STREQ(rosidl_typesupport_introspection_c__identifier,
               "rosidl_typesupport_introspection_c");
}

// Runs in a re-executed copy of this program: the service getter alone
// completes everything reachable from the service handle, down to the
// image's own table.
TEST(CIntrospectionDeathTest, service_getter_alone_completes_the_records) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const ServiceMembers *service = service_members(service_handle());
        const Members *response = service->response_members_;
        const rosidl_message_type_support_t *image = response->members_[0].members_;
        const bool ok =
            service->request_members_ != nullptr &&
            std::strcmp(service->request_members_->message_name_, "Camera_Request") == 0 &&
            std::strcmp(response->message_name_, "Camera_Response") == 0 &&
            image == image_handle() && image->typesupport_identifier != nullptr &&
            std::strcmp(members_of(image)->message_name_, "Image") == 0 &&
            members_of(image)->members_[0].members_ != nullptr;
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(CIntrospection, response_getter_stores_the_image_handle_on_every_call) {
  response_handle();
  Member *image = response_member();
  EXPECT_EQ(image->members_, image_handle());
  image->members_ = request_handle();
  response_handle();
  EXPECT_EQ(image->members_, image_handle());
}

TEST(CIntrospection, service_getter_fills_only_the_missing_members) {
  ServiceMembers *service = service_members(service_handle());
  const Members *request = members_of(request_handle());
  const Members *response = members_of(response_handle());
  EXPECT_STREQ(service->service_namespace_, "kestrel_ifaces__srv");
  EXPECT_STREQ(service->service_name_, "Camera");
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);

  // Deliberately wrong values in the pointer that is set show it is not
  // rewritten.
  service->request_members_ = response;
  service->response_members_ = nullptr;
  response_member()->members_ = nullptr;
  service_handle();
  EXPECT_EQ(service->request_members_, response);
  EXPECT_EQ(service->response_members_, response);
  EXPECT_EQ(response_member()->members_, image_handle());

  service->request_members_ = nullptr;
  service->response_members_ = request;
  service_handle();
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, request);

  service->response_members_ = nullptr;
  service_handle();
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);
}

TEST(CIntrospection, concurrent_first_service_calls_agree) {
  ServiceMembers *service = service_members(service_handle());
  service->request_members_ = nullptr;
  service->response_members_ = nullptr;
  std::atomic<bool> go{false};
  std::vector<const rosidl_service_type_support_t *> seen(8);
  std::vector<std::thread> threads;
  for (auto &slot : seen) {
    threads.emplace_back([&go, &slot] {
      while (!go.load()) {
      }
      slot = service_handle();
    });
  }
  go = true;
  for (auto &thread : threads) {
    thread.join();
  }
  for (const auto *handle : seen) {
    EXPECT_EQ(handle, seen[0]);
  }
  EXPECT_EQ(service->request_members_, members_of(request_handle()));
  EXPECT_EQ(service->response_members_, members_of(response_handle()));
}

const rosidl_runtime_c__message_initialization all_modes[] = {
    ROSIDL_RUNTIME_C_MSG_INIT_ALL, ROSIDL_RUNTIME_C_MSG_INIT_SKIP, ROSIDL_RUNTIME_C_MSG_INIT_ZERO,
    ROSIDL_RUNTIME_C_MSG_INIT_DEFAULTS_ONLY};

TEST(CIntrospection, init_functions_ignore_the_mode) {
  const Members *request = members_of(request_handle());
  EXPECT_EQ(
      request->init_function,
      &kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_init_function);
  const Members *response = members_of(response_handle());
  for (auto mode : all_modes) {
    SCOPED_TRACE(static_cast<int>(mode));
    kestrel_ifaces__srv__Camera_Request r{7};
    request->init_function(&r, mode);
    EXPECT_EQ(r.angle, 7);
    request->fini_function(&r);

    // Garbage in, a valid empty image out, whatever the mode.
    kestrel_ifaces__srv__Camera_Response out;
    std::memset(&out, 0x5a, sizeof out);
    response->init_function(&out, mode);
    EXPECT_NE(out.image.encoding.data, nullptr);
    EXPECT_EQ(out.image.encoding.size, 0u);
    EXPECT_NE(out.image.header.frame_id.data, nullptr);
    EXPECT_EQ(out.image.data.size, 0u);
    EXPECT_EQ(out.image.data.data, nullptr);
    // What init set up, and storage taken afterwards, is released by fini
    // (a leak fails under AddressSanitizer).
    EXPECT_TRUE(rosidl_runtime_c__String__assign(&out.image.encoding, "mono16"));
    response->fini_function(&out);
  }
}

TEST(CIntrospection, image_data_sequence_functions_work) {
  const Member &data = members_of(image_handle())->members_[6];
  Response response(0, 0);
  void *field = &response.msg.image.data;
  ASSERT_TRUE(data.resize_function(field, 3));
  EXPECT_EQ(data.size_function(field), 3u);
  const uint8_t value = 42;
  data.assign_function(field, 1, &value);
  uint8_t fetched = 0;
  data.fetch_function(field, 1, &fetched);
  EXPECT_EQ(fetched, 42);
  *static_cast<uint8_t *>(data.get_function(field, 2)) = 9;
  EXPECT_EQ(*static_cast<const uint8_t *>(data.get_const_function(field, 2)), 9);

  // Growing keeps the bytes and zeroes the new ones; shrinking keeps the
  // storage, and growing back within it zeroes again.
  ASSERT_TRUE(data.resize_function(field, 5));
  const auto &bytes = response.msg.image.data;
  EXPECT_EQ(std::vector<uint8_t>(bytes.data, bytes.data + bytes.size),
            (std::vector<uint8_t>{0, 42, 9, 0, 0}));
  const uint8_t *storage = bytes.data;
  ASSERT_TRUE(data.resize_function(field, 2));
  EXPECT_EQ(bytes.size, 2u);
  ASSERT_TRUE(data.resize_function(field, 4));
  EXPECT_EQ(bytes.data, storage);
  EXPECT_EQ(std::vector<uint8_t>(bytes.data, bytes.data + bytes.size),
            (std::vector<uint8_t>{0, 42, 0, 0}));
  ASSERT_TRUE(data.resize_function(field, 0));
  EXPECT_EQ(data.size_function(field), 0u);
}

TEST(CWalker, copies_and_compares_requests_and_responses) {
  const Members *request_members = members_of(request_handle());
  kestrel_ifaces__srv__Camera_Request request{-27};
  kestrel_ifaces__srv__Camera_Request request_copy{0};
  ASSERT_TRUE(walk_c::copy(request_members, &request, &request_copy));
  EXPECT_EQ(request_copy.angle, -27);
  EXPECT_TRUE(walk_c::equal(request_members, &request, &request_copy));
  request_copy.angle = 27;
  EXPECT_FALSE(walk_c::equal(request_members, &request, &request_copy));

  const Members *members = members_of(response_handle());
  const Response response(480, 640);
  Response copy(2, 2);
  ASSERT_TRUE(walk_c::copy(members, &response.msg, &copy.msg));
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(&response.msg, &copy.msg));
  EXPECT_TRUE(walk_c::equal(members, &response.msg, &copy.msg));
  EXPECT_EQ(copy.msg.image.data.size, 640u * 480u * 3u);
  EXPECT_STREQ(copy.msg.image.encoding.data, "rgb8");

  // Each field is seen by the comparison, as by the data model's own.
  const auto differs = [&](auto change) {
    Response other;
    EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__copy(&response.msg, &other.msg));
    change(other.msg.image);
    const bool walked = walk_c::equal(members, &response.msg, &other.msg);
    EXPECT_EQ(walked, kestrel_ifaces__srv__Camera_Response__are_equal(&response.msg, &other.msg));
    return !walked;
  };
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) { image.header.stamp.sec += 1; }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) {
    rosidl_runtime_c__String__assign(&image.header.frame_id, "kinect_depth");
  }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) { image.height = 479; }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) {
    rosidl_runtime_c__String__assign(&image.encoding, "bgr8");
  }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) { image.step = 1; }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) { image.data.data[12345] ^= 1; }));
  EXPECT_TRUE(differs([](sensor_msgs__msg__Image &image) { image.data.size -= 1; }));
}

TEST(CWalker, prints_every_field_through_the_tables) {
  const Response response(1, 1);
  EXPECT_EQ(walk_c::print(members_of(response_handle()), &response.msg), kPrintedOnePixelResponse);
  const kestrel_ifaces__srv__Camera_Request request{-5};
  EXPECT_EQ(walk_c::print(members_of(request_handle()), &request), "angle: -5\n");
}

}  // namespace
