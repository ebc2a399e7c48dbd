// Type traits of the Camera service and its two messages that client
// libraries read (rclcpp checks is_message / is_service and sizes; tools
// print data_type and name), and the messages' YAML form for printing.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__TRAITS_HPP_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__TRAITS_HPP_

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_runtime_cpp/traits.hpp"
#include "sensor_msgs/msg/detail/image__traits.hpp"

namespace kestrel_ifaces {
namespace srv {

// {angle: -15}
inline void to_flow_style_yaml(const Camera_Request &msg, std::ostream &out) {
  out << "{angle: ";
  rosidl_generator_traits::value_to_yaml(msg.angle, out);
  out << "}";
}

inline void to_block_style_yaml(const Camera_Request &msg, std::ostream &out,
                                size_t indentation = 0) {
  out << std::string(indentation, ' ') << "angle: ";
  rosidl_generator_traits::value_to_yaml(msg.angle, out);
  out << "\n";
}

inline std::string to_yaml(const Camera_Request &msg, bool use_flow_style = false) {
  std::ostringstream out;
  if (use_flow_style) {
    to_flow_style_yaml(msg, out);
  } else {
    to_block_style_yaml(msg, out);
  }
  return out.str();
}

// {image: {header: ..., data: [...]}}
inline void to_flow_style_yaml(const Camera_Response &msg, std::ostream &out) {
  out << "{image: ";
  sensor_msgs::msg::to_flow_style_yaml(msg.image, out);
  out << "}";
}

// The image as a nested block, indented two more spaces.
inline void to_block_style_yaml(const Camera_Response &msg, std::ostream &out,
                                size_t indentation = 0) {
  out << std::string(indentation, ' ') << "image:\n";
  sensor_msgs::msg::to_block_style_yaml(msg.image, out, indentation + 2);
}

inline std::string to_yaml(const Camera_Response &msg, bool use_flow_style = false) {
  std::ostringstream out;
  if (use_flow_style) {
    to_flow_style_yaml(msg, out);
  } else {
    to_block_style_yaml(msg, out);
  }
  return out.str();
}

}  // namespace srv
}  // namespace kestrel_ifaces

namespace rosidl_generator_traits {

// ---------------------------------------------------------------- request

template <>
inline const char *data_type<kestrel_ifaces::srv::Camera_Request>() {
  return "kestrel_ifaces::srv::Camera_Request";
}

template <>
inline const char *name<kestrel_ifaces::srv::Camera_Request>() {
  return "kestrel_ifaces/srv/Camera_Request";
}

// One int16.
template <>
struct has_fixed_size<kestrel_ifaces::srv::Camera_Request> : std::true_type {};

template <>
struct has_bounded_size<kestrel_ifaces::srv::Camera_Request> : std::true_type {};

template <>
struct is_message<kestrel_ifaces::srv::Camera_Request> : std::true_type {};

template <>
struct is_service_request<kestrel_ifaces::srv::Camera_Request> : std::true_type {};

// --------------------------------------------------------------- response

template <>
inline const char *data_type<kestrel_ifaces::srv::Camera_Response>() {
  return "kestrel_ifaces::srv::Camera_Response";
}

template <>
inline const char *name<kestrel_ifaces::srv::Camera_Response>() {
  return "kestrel_ifaces/srv/Camera_Response";
}

// Exactly the image's sizes.
template <>
struct has_fixed_size<kestrel_ifaces::srv::Camera_Response>
    : std::integral_constant<bool, has_fixed_size<sensor_msgs::msg::Image>::value> {};

template <>
struct has_bounded_size<kestrel_ifaces::srv::Camera_Response>
    : std::integral_constant<bool, has_bounded_size<sensor_msgs::msg::Image>::value> {};

template <>
struct is_message<kestrel_ifaces::srv::Camera_Response> : std::true_type {};

template <>
struct is_service_response<kestrel_ifaces::srv::Camera_Response> : std::true_type {};

// ---------------------------------------------------------------- service

template <>
inline const char *data_type<kestrel_ifaces::srv::Camera>() {
  return "kestrel_ifaces::srv::Camera";
}

template <>
inline const char *name<kestrel_ifaces::srv::Camera>() {
  return "kestrel_ifaces/srv/Camera";
}

// A service has a fixed or bounded size when both its messages do.
template <>
struct has_fixed_size<kestrel_ifaces::srv::Camera>
    : std::integral_constant<bool,
                             has_fixed_size<kestrel_ifaces::srv::Camera_Request>::value &&
                                 has_fixed_size<kestrel_ifaces::srv::Camera_Response>::value> {};

template <>
struct has_bounded_size<kestrel_ifaces::srv::Camera>
    : std::integral_constant<bool,
                             has_bounded_size<kestrel_ifaces::srv::Camera_Request>::value &&
                                 has_bounded_size<kestrel_ifaces::srv::Camera_Response>::value> {};

template <>
struct is_service<kestrel_ifaces::srv::Camera> : std::true_type {};

}  // namespace rosidl_generator_traits

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__TRAITS_HPP_
