#ifndef STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
#define STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_

#include "std_msgs/msg/rosidl_typesupport_introspection_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"

#ifdef __cplusplus
extern "C" {
#endif

// The C introspection handle of std_msgs/msg/Header; the identifier (and any
// nested handle) is filled in by the first call.
ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_std_msgs const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__std_msgs__msg__Header(void);

#ifdef __cplusplus
}
#endif

#endif  // STD_MSGS__MSG__DETAIL__HEADER__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
