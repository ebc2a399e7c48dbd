#ifndef STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
#define STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_

#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp"
#include "std_msgs/msg/detail/header__struct.hpp"
#include "std_msgs/msg/rosidl_typesupport_introspection_cpp__visibility_control.h"

namespace rosidl_typesupport_introspection_cpp {
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_std_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<std_msgs::msg::Header>();
}  // namespace rosidl_typesupport_introspection_cpp

#ifdef __cplusplus
extern "C" {
#endif

// The C++ introspection handle of std_msgs/msg/Header.
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_std_msgs const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__std_msgs__msg__Header();

#ifdef __cplusplus
}
#endif

#endif  // STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
