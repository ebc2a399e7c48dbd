// C++ CDR type support of sensor_msgs/msg/Image: the per-type functions that messages
// nesting a Image call, and the handle getters.
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "sensor_msgs/msg/detail/image__struct.hpp"
#include "sensor_msgs/msg/rosidl_typesupport_fastrtps_cpp__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support_decl.hpp"
#include "rosidl_typesupport_interface/macros.h"

namespace sensor_msgs {
namespace msg {
namespace typesupport_fastrtps_cpp {

// Writes the message at the stream's position; false if it cannot be encoded.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs bool cdr_serialize(
    const sensor_msgs::msg::Image &ros_message, eprosima::fastcdr::Cdr &cdr);

// Reads a message from the stream; a stream too short raises the CDR
// library's exception.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs bool cdr_deserialize(
    eprosima::fastcdr::Cdr &cdr, sensor_msgs::msg::Image &ros_message);

// Bytes the message takes when it begins at `current_alignment`.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs size_t
get_serialized_size(const sensor_msgs::msg::Image &ros_message, size_t current_alignment);

// Maximum bytes of the type from `current_alignment`; `full_bounded` tells
// whether that is a true maximum, `is_plain` whether the C++ layout is the CDR
// layout.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs size_t
max_serialized_size_Image(bool &full_bounded, bool &is_plain, size_t current_alignment);

}  // namespace typesupport_fastrtps_cpp
}  // namespace msg
}  // namespace sensor_msgs

namespace rosidl_typesupport_fastrtps_cpp {
template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<sensor_msgs::msg::Image>();
}  // namespace rosidl_typesupport_fastrtps_cpp

#ifdef __cplusplus
extern "C" {
#endif

ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_cpp, sensor_msgs,
                                                       msg, Image)();

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
