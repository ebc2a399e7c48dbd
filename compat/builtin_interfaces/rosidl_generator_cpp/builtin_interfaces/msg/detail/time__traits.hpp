// Type traits of builtin_interfaces/msg/Time that client libraries read, and
// its YAML form for printing.
#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__TRAITS_HPP_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__TRAITS_HPP_

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>

#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace builtin_interfaces {
namespace msg {

// {sec: 12, nanosec: 345}
inline void to_flow_style_yaml(const Time &msg, std::ostream &out) {
  out << "{sec: ";
  rosidl_generator_traits::value_to_yaml(msg.sec, out);
  out << ", nanosec: ";
  rosidl_generator_traits::value_to_yaml(msg.nanosec, out);
  out << "}";
}

// One "field: value" line per field, each indented by `indentation` spaces.
inline void to_block_style_yaml(const Time &msg, std::ostream &out, size_t indentation = 0) {
  const std::string indent(indentation, ' ');
  out << indent << "sec: ";
  rosidl_generator_traits::value_to_yaml(msg.sec, out);
  out << "\n" << indent << "nanosec: ";
  rosidl_generator_traits::value_to_yaml(msg.nanosec, out);
  out << "\n";
}

inline std::string to_yaml(const Time &msg, bool use_flow_style = false) {
  std::ostringstream out;
  if (use_flow_style) {
    to_flow_style_yaml(msg, out);
  } else {
    to_block_style_yaml(msg, out);
  }
  return out.str();
}

}  // namespace msg
}  // namespace builtin_interfaces

namespace rosidl_generator_traits {

template <>
inline const char *data_type<builtin_interfaces::msg::Time>() {
  return "builtin_interfaces::msg::Time";
}

template <>
inline const char *name<builtin_interfaces::msg::Time>() {
  return "builtin_interfaces/msg/Time";
}

template <>
struct has_fixed_size<builtin_interfaces::msg::Time> : std::true_type {};

template <>
struct has_bounded_size<builtin_interfaces::msg::Time> : std::true_type {};

template <>
struct is_message<builtin_interfaces::msg::Time> : std::true_type {};

}  // namespace rosidl_generator_traits

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__TRAITS_HPP_
