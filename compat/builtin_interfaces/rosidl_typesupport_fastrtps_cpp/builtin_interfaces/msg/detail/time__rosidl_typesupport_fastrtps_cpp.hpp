// C++ CDR type support of builtin_interfaces/msg/Time: the per-type functions that messages
// nesting a Time call, and the handle getters.
#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "builtin_interfaces/msg/rosidl_typesupport_fastrtps_cpp__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support_decl.hpp"
#include "rosidl_typesupport_interface/macros.h"

namespace builtin_interfaces {
namespace msg {
namespace typesupport_fastrtps_cpp {

// Writes the message at the stream's position; false if it cannot be encoded.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces bool cdr_serialize(
    const builtin_interfaces::msg::Time &ros_message, eprosima::fastcdr::Cdr &cdr);

// Reads a message from the stream; a stream too short raises the CDR
// library's exception.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces bool cdr_deserialize(
    eprosima::fastcdr::Cdr &cdr, builtin_interfaces::msg::Time &ros_message);

// Bytes the message takes when it begins at `current_alignment`.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces size_t
get_serialized_size(const builtin_interfaces::msg::Time &ros_message, size_t current_alignment);

// Maximum bytes of the type from `current_alignment`; `full_bounded` tells
// whether that is a true maximum, `is_plain` whether the C++ layout is the CDR
// layout.
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces size_t
max_serialized_size_Time(bool &full_bounded, bool &is_plain, size_t current_alignment);

}  // namespace typesupport_fastrtps_cpp
}  // namespace msg
}  // namespace builtin_interfaces

namespace rosidl_typesupport_fastrtps_cpp {
template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
get_message_type_support_handle<builtin_interfaces::msg::Time>();
}  // namespace rosidl_typesupport_fastrtps_cpp

#ifdef __cplusplus
extern "C" {
#endif

ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_cpp,
                                                       builtin_interfaces, msg, Time)();

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
