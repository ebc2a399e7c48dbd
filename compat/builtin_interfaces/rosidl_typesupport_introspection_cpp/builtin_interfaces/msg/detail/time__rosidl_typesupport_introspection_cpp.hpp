#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_

#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "builtin_interfaces/msg/rosidl_typesupport_introspection_cpp__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp"

namespace rosidl_typesupport_introspection_cpp {
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
get_message_type_support_handle<builtin_interfaces::msg::Time>();
}  // namespace rosidl_typesupport_introspection_cpp

#ifdef __cplusplus
extern "C" {
#endif

// The C++ introspection handle of builtin_interfaces/msg/Time.
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__builtin_interfaces__msg__Time();

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
