#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_

#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp"
#include "sensor_msgs/msg/detail/image__struct.hpp"
#include "sensor_msgs/msg/rosidl_typesupport_introspection_cpp__visibility_control.h"

namespace rosidl_typesupport_introspection_cpp {
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<sensor_msgs::msg::Image>();
}  // namespace rosidl_typesupport_introspection_cpp

#ifdef __cplusplus
extern "C" {
#endif

// The C++ introspection handle of sensor_msgs/msg/Image.
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__sensor_msgs__msg__Image();

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
