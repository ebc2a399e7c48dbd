#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_

#include "builtin_interfaces/msg/rosidl_typesupport_introspection_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"

#ifdef __cplusplus
extern "C" {
#endif

// The C introspection handle of builtin_interfaces/msg/Time; the identifier (and any
// nested handle) is filled in by the first call.
ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__builtin_interfaces__msg__Time(
    void);

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
