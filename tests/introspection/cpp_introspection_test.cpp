// C++ introspection of the Camera service and of the Image it carries:
// table contents against the C++ layouts, load-time and first-call state,
// init functions per mode, and a type-blind walker checked against direct
// field access.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_cpp.hpp"
#include "kestrel_ifaces/srv/camera.hpp"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_cpp.hpp"
#include "rosidl_typesupport_introspection_cpp/field_types.hpp"
#include "rosidl_typesupport_introspection_cpp/identifier.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"
#include "rosidl_typesupport_introspection_cpp/service_introspection.hpp"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_cpp.hpp"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_cpp.hpp"
#include "walkers.hpp"

namespace {

namespace intro = rosidl_typesupport_introspection_cpp;
using kestrel_ifaces::srv::Camera;
using kestrel_ifaces::srv::Camera_Request;
using kestrel_ifaces::srv::Camera_Response;
using rosidl_runtime_cpp::MessageInitialization;

const intro::MessageMembers *members_of(const rosidl_message_type_support_t *handle) {
  return static_cast<const intro::MessageMembers *>(handle->data);
}

const rosidl_message_type_support_t *request_handle() {
  return intro::get_message_type_support_handle<Camera_Request>();
}
const rosidl_message_type_support_t *response_handle() {
  return intro::get_message_type_support_handle<Camera_Response>();
}
const rosidl_message_type_support_t *image_handle() {
  return intro::get_message_type_support_handle<sensor_msgs::msg::Image>();
}

intro::ServiceMembers *service_members() {
  const rosidl_service_type_support_t *handle = intro::get_service_type_support_handle<Camera>();
  // The record is writable library state; the tests reset it to check the
  // getter's fill rule.
  return static_cast<intro::ServiceMembers *>(const_cast<void *>(handle->data));
}

// A response with a real image: a rows × columns rgb8 picture with a ramp.
Camera_Response make_response(uint32_t rows, uint32_t columns) {
  Camera_Response response;
  auto &image = response.image;
  image.header.stamp.sec = 1700000000;
  image.header.stamp.nanosec = 250000000u;
  image.header.frame_id = "kinect_rgb";
  image.height = rows;
  image.width = columns;
  image.encoding = "rgb8";
  image.is_bigendian = 0;
  image.step = columns * 3;
  image.data.resize(static_cast<size_t>(image.step) * rows);
  for (size_t i = 0; i < image.data.size(); ++i) {
    image.data[i] = static_cast<uint8_t>(i * 7 + 3);
  }
  return response;
}

struct MemberRow {
  const char *name;
  uint8_t type_id;
  uint32_t offset;
  bool is_array;
};

void expect_members(const intro::MessageMembers *members, const char *ns, const char *name,
                    size_t size_of, const std::vector<MemberRow> &rows) {
  SCOPED_TRACE(name);
  EXPECT_STREQ(members->message_namespace_, ns);
  EXPECT_STREQ(members->message_name_, name);
  EXPECT_EQ(members->size_of_, size_of);
  ASSERT_EQ(members->member_count_, rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const intro::MessageMember &member = members->members_[i];
    SCOPED_TRACE(rows[i].name);
    EXPECT_STREQ(member.name_, rows[i].name);
    EXPECT_EQ(member.type_id_, rows[i].type_id);
    EXPECT_EQ(member.offset_, rows[i].offset);
    EXPECT_EQ(member.is_array_, rows[i].is_array);
    EXPECT_EQ(member.string_upper_bound_, 0u);
    EXPECT_EQ(member.array_size_, 0u);
    EXPECT_FALSE(member.is_upper_bound_);
    EXPECT_EQ(member.default_value_, nullptr);
    EXPECT_EQ(member.members_ != nullptr, rows[i].type_id == intro::ROS_TYPE_MESSAGE);
    const bool has_sequence_functions = member.size_function && member.get_const_function &&
                                        member.get_function && member.fetch_function &&
                                        member.assign_function && member.resize_function;
    EXPECT_EQ(has_sequence_functions, rows[i].is_array);
  }
}

TEST(CppIntrospection, tables_match_the_cpp_layouts) {
  expect_members(members_of(request_handle()), "kestrel_ifaces::srv", "Camera_Request", 2,
                 {{"angle", intro::ROS_TYPE_INT16, 0, false}});
  expect_members(members_of(response_handle()), "kestrel_ifaces::srv", "Camera_Response", 112,
                 {{"image", intro::ROS_TYPE_MESSAGE, 0, false}});
  expect_members(members_of(image_handle()), "sensor_msgs::msg", "Image", 112,
                 {{"header", intro::ROS_TYPE_MESSAGE, 0, false},
                  {"height", intro::ROS_TYPE_UINT32, 40, false},
                  {"width", intro::ROS_TYPE_UINT32, 44, false},
                  {"encoding", intro::ROS_TYPE_STRING, 48, false},
                  {"is_bigendian", intro::ROS_TYPE_UINT8, 80, false},
                  {"step", intro::ROS_TYPE_UINT32, 84, false},
                  {"data", intro::ROS_TYPE_UINT8, 88, true}});
  expect_members(members_of(intro::get_message_type_support_handle<std_msgs::msg::Header>()),
                 "std_msgs::msg", "Header", 40,
                 {{"stamp", intro::ROS_TYPE_MESSAGE, 0, false},
                  {"frame_id", intro::ROS_TYPE_STRING, 8, false}});
  expect_members(
      members_of(intro::get_message_type_support_handle<builtin_interfaces::msg::Time>()),
      "builtin_interfaces::msg", "Time", 8,
      {{"sec", intro::ROS_TYPE_INT32, 0, false}, {"nanosec", intro::ROS_TYPE_UINT32, 4, false}});
  EXPECT_EQ(sizeof(Camera_Response), 112u);
}

TEST(CppIntrospection, nested_members_name_the_nested_handles) {
  EXPECT_EQ(members_of(response_handle())->members_[0].members_, image_handle());
  EXPECT_EQ(members_of(image_handle())->members_[0].members_,
            intro::get_message_type_support_handle<std_msgs::msg::Header>());
  EXPECT_EQ(members_of(intro::get_message_type_support_handle<std_msgs::msg::Header>())
                ->members_[0]
                .members_,
            intro::get_message_type_support_handle<builtin_interfaces::msg::Time>());
}

// Runs in a re-executed copy of this program, so no getter has been called
// before: the handles must be complete from load, and message getters change
// nothing.
TEST(CppIntrospectionDeathTest, handles_are_complete_right_after_load) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const auto *request = request_handle();
        const auto *response = response_handle();
        bool ok =
            std::strcmp(request->typesupport_identifier, intro::typesupport_identifier) == 0 &&
            std::strcmp(response->typesupport_identifier, intro::typesupport_identifier) == 0 &&
            request->func == get_message_typesupport_handle_function &&
            members_of(response)->members_[0].members_ == image_handle() &&
            image_handle()->typesupport_identifier != nullptr;
        const auto *service = intro::get_service_type_support_handle<Camera>();
        ok = ok &&
             std::strcmp(service->typesupport_identifier, intro::typesupport_identifier) == 0 &&
             service->func == get_service_typesupport_handle_function;
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(CppIntrospection, c_and_cpp_getters_return_the_same_handles) {
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(
        rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request(),
        request_handle());
    EXPECT_EQ(
        rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response(),
        response_handle());
    EXPECT_EQ(
        rosidl_typesupport_introspection_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera(),
        intro::get_service_type_support_handle<Camera>());
    EXPECT_EQ(
        rosidl_typesupport_introspection_cpp__get_message_type_support_handle__sensor_msgs__msg__Image(),
        image_handle());
  }
}

TEST(CppIntrospection, service_getter_writes_both_members_when_either_is_null) {
  intro::ServiceMembers *service = service_members();
  const intro::MessageMembers *request = members_of(request_handle());
  const intro::MessageMembers *response = members_of(response_handle());
  EXPECT_STREQ(service->service_namespace_, "kestrel_ifaces::srv");
  EXPECT_STREQ(service->service_name_, "Camera");
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);

  // Only the response missing: the request pointer, set to a wrong value on
  // purpose, is rewritten too.
  service->request_members_ = response;
  service->response_members_ = nullptr;
  service_members();
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);

  service->request_members_ = nullptr;
  service->response_members_ = request;
  service_members();
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);

  // Both set: left alone.
  service->request_members_ = response;
  service->response_members_ = request;
  service_members();
  EXPECT_EQ(service->request_members_, response);
  EXPECT_EQ(service->response_members_, request);
  service->request_members_ = nullptr;
  service_members();
  EXPECT_EQ(service->request_members_, request);
  EXPECT_EQ(service->response_members_, response);
}

TEST(CppIntrospection, concurrent_first_service_calls_agree) {
  intro::ServiceMembers *service = service_members();
  service->request_members_ = nullptr;
  service->response_members_ = nullptr;
  std::atomic<bool> go{false};
  std::vector<const rosidl_service_type_support_t *> seen(8);
  std::vector<std::thread> threads;
  for (auto &slot : seen) {
    threads.emplace_back([&go, &slot] {
      while (!go.load()) {
      }
      slot = intro::get_service_type_support_handle<Camera>();
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

TEST(CppIntrospection, request_init_clears_angle_only_for_all_and_zero) {
  const struct {
    MessageInitialization mode;
    int16_t expected;
  } cases[] = {{MessageInitialization::ALL, 0},
               {MessageInitialization::ZERO, 0},
               {MessageInitialization::SKIP, 7},
               {MessageInitialization::DEFAULTS_ONLY, 7}};
  const intro::MessageMembers *members = members_of(request_handle());
  EXPECT_EQ(
      members->init_function,
      &kestrel_ifaces::srv::rosidl_typesupport_introspection_cpp::Camera_Request_init_function);
  for (const auto &c : cases) {
    alignas(Camera_Request) unsigned char memory[sizeof(Camera_Request)];
    const int16_t seven = 7;
    std::memcpy(memory, &seven, sizeof seven);
    members->init_function(memory, c.mode);
    int16_t angle;
    std::memcpy(&angle, memory, sizeof angle);
    EXPECT_EQ(angle, c.expected) << static_cast<int>(c.mode);
    members->fini_function(memory);
  }
}

TEST(CppIntrospection, response_init_builds_the_image_per_mode) {
  const intro::MessageMembers *members = members_of(response_handle());
  for (auto mode : {MessageInitialization::ALL, MessageInitialization::ZERO}) {
    alignas(Camera_Response) unsigned char memory[sizeof(Camera_Response)];
    std::memset(memory, 0x5a, sizeof memory);
    members->init_function(memory, mode);
    auto *response = std::launder(reinterpret_cast<Camera_Response *>(memory));
    const auto &image = response->image;
    EXPECT_EQ(image.header.stamp.sec, 0);
    EXPECT_EQ(image.header.stamp.nanosec, 0u);
    EXPECT_EQ(image.height, 0u);
    EXPECT_EQ(image.width, 0u);
    EXPECT_EQ(image.step, 0u);
    EXPECT_EQ(image.is_bigendian, 0);
    EXPECT_TRUE(image.encoding.empty());
    EXPECT_TRUE(image.header.frame_id.empty());
    EXPECT_TRUE(image.data.empty());
    // Storage acquired after init is released by fini (a leak fails under
    // AddressSanitizer).
    response->image.data.assign(4096, 1);
    response->image.encoding.assign(100, 'x');
    members->fini_function(memory);
  }

  // SKIP and DEFAULTS_ONLY leave the numeric fields as the memory held;
  // strings and bytes still start empty.
  for (auto mode : {MessageInitialization::SKIP, MessageInitialization::DEFAULTS_ONLY}) {
    alignas(Camera_Response) unsigned char memory[sizeof(Camera_Response)];
    std::memset(memory, 0, sizeof memory);
    const uint32_t height = 480;
    std::memcpy(memory + offsetof(sensor_msgs::msg::Image, height), &height, sizeof height);
    members->init_function(memory, mode);
    auto *response = std::launder(reinterpret_cast<Camera_Response *>(memory));
    EXPECT_EQ(response->image.height, 480u);
    EXPECT_TRUE(response->image.encoding.empty());
    EXPECT_TRUE(response->image.header.frame_id.empty());
    EXPECT_TRUE(response->image.data.empty());
    members->fini_function(memory);
  }
}

TEST(CppIntrospection, image_data_sequence_functions_work) {
  const intro::MessageMember &data = members_of(image_handle())->members_[6];
  sensor_msgs::msg::Image image;
  void *field = &image.data;
  data.resize_function(field, 3);
  EXPECT_EQ(data.size_function(field), 3u);
  const uint8_t value = 42;
  data.assign_function(field, 1, &value);
  EXPECT_EQ(image.data[1], 42);
  uint8_t fetched = 0;
  data.fetch_function(field, 1, &fetched);
  EXPECT_EQ(fetched, 42);
  *static_cast<uint8_t *>(data.get_function(field, 2)) = 9;
  EXPECT_EQ(*static_cast<const uint8_t *>(data.get_const_function(field, 2)), 9);
  EXPECT_EQ(image.data, (std::vector<uint8_t>{0, 42, 9}));
}

TEST(CppWalker, copies_and_compares_requests_and_responses) {
  const Camera_Request request = [] {
    Camera_Request r;
    r.angle = -27;
    return r;
  }();
  Camera_Request request_copy;
  ASSERT_TRUE(walk_cpp::copy(members_of(request_handle()), &request, &request_copy));
  EXPECT_EQ(request_copy.angle, -27);
  EXPECT_TRUE(walk_cpp::equal(members_of(request_handle()), &request, &request_copy));
  request_copy.angle = 27;
  EXPECT_FALSE(walk_cpp::equal(members_of(request_handle()), &request, &request_copy));

  const Camera_Response response = make_response(480, 640);
  Camera_Response copy = make_response(2, 2);
  ASSERT_TRUE(walk_cpp::copy(members_of(response_handle()), &response, &copy));
  EXPECT_TRUE(copy == response);
  EXPECT_TRUE(walk_cpp::equal(members_of(response_handle()), &response, &copy));

  // Each field is seen by the comparison.
  const auto changed = [&](auto change) {
    Camera_Response other = response;
    change(other.image);
    return !walk_cpp::equal(members_of(response_handle()), &response, &other);
  };
  EXPECT_TRUE(changed([](auto &image) { image.header.stamp.nanosec += 1; }));
  EXPECT_TRUE(changed([](auto &image) { image.header.frame_id = "kinect_depth"; }));
  EXPECT_TRUE(changed([](auto &image) { image.width = 641; }));
  EXPECT_TRUE(changed([](auto &image) { image.encoding = "bgr8"; }));
  EXPECT_TRUE(changed([](auto &image) { image.is_bigendian = 1; }));
  EXPECT_TRUE(changed([](auto &image) { image.data.back() ^= 1; }));
  EXPECT_TRUE(changed([](auto &image) { image.data.pop_back(); }));
}

TEST(CppWalker, prints_every_field_through_the_tables) {
  const Camera_Response response = make_response(1, 1);
  EXPECT_EQ(walk_cpp::print(members_of(response_handle()), &response), kPrintedOnePixelResponse);
  Camera_Request request;
  request.angle = -5;
  EXPECT_EQ(walk_cpp::print(members_of(request_handle()), &request), "angle: -5\n");
}

}  // namespace
