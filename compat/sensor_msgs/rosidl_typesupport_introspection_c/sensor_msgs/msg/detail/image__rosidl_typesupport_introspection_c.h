#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_

#include "sensor_msgs/msg/rosidl_typesupport_introspection_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"

#ifdef __cplusplus
extern "C" {
#endif

// The C introspection handle of sensor_msgs/msg/Image; the identifier (and any
// nested handle) is filled in by the first call.
ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__sensor_msgs__msg__Image(void);

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
