// Type traits of sensor_msgs/msg/Image that client libraries read, and its
// YAML form for printing.
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__TRAITS_HPP_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__TRAITS_HPP_

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "rosidl_runtime_cpp/traits.hpp"
#include "sensor_msgs/msg/detail/image__struct.hpp"
#include "std_msgs/msg/detail/header__traits.hpp"

namespace sensor_msgs {
namespace msg {

// {header: {...}, height: 1, width: 2, encoding: "rgb8", is_bigendian: 0,
//  step: 6, data: [1, 2, ...]}
inline void to_flow_style_yaml(const Image &msg, std::ostream &out) {
  using rosidl_generator_traits::value_to_yaml;
  out << "{header: ";
  std_msgs::msg::to_flow_style_yaml(msg.header, out);
  out << ", height: ";
  value_to_yaml(msg.height, out);
  out << ", width: ";
  value_to_yaml(msg.width, out);
  out << ", encoding: ";
  value_to_yaml(msg.encoding, out);
  out << ", is_bigendian: ";
  value_to_yaml(msg.is_bigendian, out);
  out << ", step: ";
  value_to_yaml(msg.step, out);
  out << ", data: [";
  for (size_t i = 0; i < msg.data.size(); ++i) {
    out << (i == 0 ? "" : ", ");
    value_to_yaml(msg.data[i], out);
  }
  out << "]}";
}

// The header as a nested block and the data as a block sequence ("- value"
// lines), each indented two more spaces; empty data is written "data: []".
inline void to_block_style_yaml(const Image &msg, std::ostream &out, size_t indentation = 0) {
  using rosidl_generator_traits::value_to_yaml;
  const std::string indent(indentation, ' ');
  out << indent << "header:\n";
  std_msgs::msg::to_block_style_yaml(msg.header, out, indentation + 2);
  out << indent << "height: ";
  value_to_yaml(msg.height, out);
  out << "\n" << indent << "width: ";
  value_to_yaml(msg.width, out);
  out << "\n" << indent << "encoding: ";
  value_to_yaml(msg.encoding, out);
  out << "\n" << indent << "is_bigendian: ";
  value_to_yaml(msg.is_bigendian, out);
  out << "\n" << indent << "step: ";
  value_to_yaml(msg.step, out);
  out << "\n" << indent << "data:";
  if (msg.data.empty()) {
    out << " []\n";
    return;
  }
  out << "\n";
  for (const uint8_t value : msg.data) {
    out << indent << "  - ";
    value_to_yaml(value, out);
    out << "\n";
  }
}

inline std::string to_yaml(const Image &msg, bool use_flow_style = false) {
  std::ostringstream out;
  if (use_flow_style) {
    to_flow_style_yaml(msg, out);
  } else {
    to_block_style_yaml(msg, out);
  }
  return out.str();
}

}  // namespace msg
}  // namespace sensor_msgs

namespace rosidl_generator_traits {

template <>
inline const char *data_type<sensor_msgs::msg::Image>() {
  return "sensor_msgs::msg::Image";
}

template <>
inline const char *name<sensor_msgs::msg::Image>() {
  return "sensor_msgs/msg/Image";
}

// The encoding and the pixel data are unbounded.
template <>
struct has_fixed_size<sensor_msgs::msg::Image> : std::false_type {};

template <>
struct has_bounded_size<sensor_msgs::msg::Image> : std::false_type {};

template <>
struct is_message<sensor_msgs::msg::Image> : std::true_type {};

}  // namespace rosidl_generator_traits

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__TRAITS_HPP_
