// CDR type support of sensor_msgs/msg/Image for its C structure: exact and maximum
// serialized sizes (for messages that nest a Image) and the handle getter.
// C++ only: the maximum-size function returns its flags through references.
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_

#include <stddef.h>

#include "sensor_msgs/msg/rosidl_typesupport_fastrtps_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_interface/macros.h"

#ifdef __cplusplus
extern "C" {
#endif

// Bytes the message takes when it begins at `current_alignment`.
ROSIDL_TYPESUPPORT_FASTRTPS_C_PUBLIC_sensor_msgs size_t get_serialized_size_sensor_msgs__msg__Image(
    const void *untyped_ros_message, size_t current_alignment);

// Maximum bytes of the type from `current_alignment`; `full_bounded` tells
// whether that is a true maximum, `is_plain` whether the C layout is the CDR
// layout.
ROSIDL_TYPESUPPORT_FASTRTPS_C_PUBLIC_sensor_msgs size_t max_serialized_size_sensor_msgs__msg__Image(
    bool &full_bounded, bool &is_plain, size_t current_alignment);

ROSIDL_TYPESUPPORT_FASTRTPS_C_PUBLIC_sensor_msgs const rosidl_message_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c, sensor_msgs,
                                                       msg, Image)();

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_
