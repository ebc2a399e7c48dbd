// What a client library compiles against the C++ message headers: rclcpp's
// pointer aliases and the traits it checks, and the YAML printing tools use.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>

#include "builtin_interfaces/msg/time.hpp"
#include "kestrel_ifaces/srv/camera.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "std_msgs/msg/header.hpp"
#include "test_image_cpp.hpp"

namespace {

using kestrel_ifaces::srv::Camera;
namespace traits = rosidl_generator_traits;

// A message type with the pointer aliases a client library names.
template <typename T>
constexpr bool has_pointer_aliases() {
  return std::is_same_v<typename T::SharedPtr, std::shared_ptr<T>> &&
         std::is_same_v<typename T::ConstSharedPtr, std::shared_ptr<const T>> &&
         std::is_same_v<typename T::UniquePtr, std::unique_ptr<T>> &&
         std::is_same_v<typename T::ConstUniquePtr,
                        std::unique_ptr<const T, std::default_delete<T>>> &&
         std::is_same_v<typename T::WeakPtr, std::weak_ptr<T>> &&
         std::is_same_v<typename T::ConstWeakPtr, std::weak_ptr<const T>> &&
         std::is_same_v<typename T::template UniquePtrWithDeleter<void (*)(T *)>,
                        std::unique_ptr<T, void (*)(T *)>>;
}

static_assert(has_pointer_aliases<Camera::Request>());
static_assert(has_pointer_aliases<Camera::Response>());
static_assert(has_pointer_aliases<sensor_msgs::msg::Image>());
static_assert(has_pointer_aliases<std_msgs::msg::Header>());
static_assert(has_pointer_aliases<builtin_interfaces::msg::Time>());
// The aliases follow the allocator the message is built with.
using OtherAllocator = std::allocator<int>;
static_assert(has_pointer_aliases<kestrel_ifaces::srv::Camera_Response_<OtherAllocator>>());

// rclcpp's checks of a service and its messages.
static_assert(traits::is_service<Camera>::value);
static_assert(!traits::is_message<Camera>::value);
static_assert(traits::is_message<Camera::Request>::value);
static_assert(traits::is_message<Camera::Response>::value);
static_assert(traits::is_service_request<Camera::Request>::value);
static_assert(traits::is_service_response<Camera::Response>::value);
static_assert(!traits::is_service_response<Camera::Request>::value);
static_assert(traits::has_fixed_size<Camera::Request>::value);
static_assert(traits::has_bounded_size<Camera::Request>::value);
static_assert(!traits::has_fixed_size<Camera::Response>::value);
static_assert(!traits::has_bounded_size<Camera>::value);
static_assert(traits::has_fixed_size<builtin_interfaces::msg::Time>::value);
static_assert(!traits::has_bounded_size<std_msgs::msg::Header>::value);
static_assert(traits::is_message<sensor_msgs::msg::Image>::value);

}  // namespace

TEST(ClientHeaders, rclcpp_style_uses_of_the_service_types) {
  // What rclcpp::Client<Camera> and Service<Camera> do with the types.
  using SharedRequest = Camera::Request::SharedPtr;
  using SharedResponse = Camera::Response::SharedPtr;
  SharedRequest request = std::make_shared<Camera::Request>();
  request->angle = -15;
  Camera::Request::ConstSharedPtr seen = request;
  Camera::Request::WeakPtr watcher = request;
  SharedResponse response = std::make_shared<Camera::Response>();
  Camera::Response::UniquePtr owned = std::make_unique<Camera::Response>(*response);
  EXPECT_EQ(seen->angle, -15);
  EXPECT_FALSE(watcher.expired());
  EXPECT_EQ(*owned, *response);
}

TEST(ClientHeaders, yaml_of_request_and_response) {
  Camera::Request request;
  request.angle = -15;
  EXPECT_EQ(kestrel_ifaces::srv::to_yaml(request), "angle: -15\n");
  EXPECT_EQ(kestrel_ifaces::srv::to_yaml(request, true), "{angle: -15}");

  Camera::Response response;
  fill_rgb8_image(response.image, 1, 1);
  response.image.header.frame_id = "say \"cheese\"";
  EXPECT_EQ(kestrel_ifaces::srv::to_yaml(response),
            "image:\n"
            "  header:\n"
            "    stamp:\n"
            "      sec: 12\n"
            "      nanosec: 345\n"
            "    frame_id: \"say \\\"cheese\\\"\"\n"
            "  height: 1\n"
            "  width: 1\n"
            "  encoding: \"rgb8\"\n"
            "  is_bigendian: 0\n"
            "  step: 3\n"
            "  data:\n"
            "    - 0\n"
            "    - 7\n"
            "    - 14\n");
  EXPECT_EQ(
      kestrel_ifaces::srv::to_yaml(response, true),
      "{image: {header: {stamp: {sec: 12, nanosec: 345}, frame_id: \"say \\\"cheese\\\"\"}, "
      "height: 1, width: 1, encoding: \"rgb8\", is_bigendian: 0, step: 3, data: [0, 7, 14]}}");

  response.image.data.clear();
  EXPECT_NE(sensor_msgs::msg::to_yaml(response.image).find("\ndata: []\n"), std::string::npos);
}
