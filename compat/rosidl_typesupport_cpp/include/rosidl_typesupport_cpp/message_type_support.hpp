#ifndef ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_HPP_
#define ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_HPP_

#include <rosidl_runtime_c/message_type_support_struct.h>
#include <rosidl_runtime_c/visibility_control.h>

namespace rosidl_typesupport_cpp {

// The dispatch handle of message type T; each interface package's
// rosidl_typesupport_cpp library specialises it for its C++ types.
template <typename T>
const rosidl_message_type_support_t *get_message_type_support_handle();

}  // namespace rosidl_typesupport_cpp

#endif  // ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_HPP_
