// Type traits of std_msgs/msg/Header that client libraries read, and its
// YAML form for printing.
#ifndef STD_MSGS__MSG__DETAIL__HEADER__TRAITS_HPP_
#define STD_MSGS__MSG__DETAIL__HEADER__TRAITS_HPP_

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "builtin_interfaces/msg/detail/time__traits.hpp"
#include "rosidl_runtime_cpp/traits.hpp"
#include "std_msgs/msg/detail/header__struct.hpp"

namespace std_msgs {
namespace msg {

// {stamp: {sec: 12, nanosec: 345}, frame_id: "kinect_rgb"}
inline void to_flow_style_yaml(const Header &msg, std::ostream &out) {
  out << "{stamp: ";
  builtin_interfaces::msg::to_flow_style_yaml(msg.stamp, out);
  out << ", frame_id: ";
  rosidl_generator_traits::value_to_yaml(msg.frame_id, out);
  out << "}";
}

// The stamp as a nested block, indented two more spaces.
inline void to_block_style_yaml(const Header &msg, std::ostream &out, size_t indentation = 0) {
  const std::string indent(indentation, ' ');
  out << indent << "stamp:\n";
  builtin_interfaces::msg::to_block_style_yaml(msg.stamp, out, indentation + 2);
  out << indent << "frame_id: ";
  rosidl_generator_traits::value_to_yaml(msg.frame_id, out);
  out << "\n";
}

inline std::string to_yaml(const Header &msg, bool use_flow_style = false) {
  std::ostringstream out;
  if (use_flow_style) {
    to_flow_style_yaml(msg, out);
  } else {
    to_block_style_yaml(msg, out);
  }
  return out.str();
}

}  // namespace msg
}  // namespace std_msgs

namespace rosidl_generator_traits {

template <>
inline const char *data_type<std_msgs::msg::Header>() {
  return "std_msgs::msg::Header";
}

template <>
inline const char *name<std_msgs::msg::Header>() {
  return "std_msgs/msg/Header";
}

// The frame id is an unbounded string.
template <>
struct has_fixed_size<std_msgs::msg::Header> : std::false_type {};

template <>
struct has_bounded_size<std_msgs::msg::Header> : std::false_type {};

template <>
struct is_message<std_msgs::msg::Header> : std::true_type {};

}  // namespace rosidl_generator_traits

#endif  // STD_MSGS__MSG__DETAIL__HEADER__TRAITS_HPP_
