#ifndef ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_DISPATCH_HPP_
#define ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_DISPATCH_HPP_

#include <rosidl_runtime_c/message_type_support_struct.h>

#include "rosidl_typesupport_cpp/visibility_control.h"

namespace rosidl_typesupport_cpp {

// Resolves a dispatch handle to the handle of the family `identifier`: the
// handle itself when it already carries that identifier, otherwise the result
// of the family's entry symbol in lib<package>__<identifier>.so, found on the
// library search path and loaded on first use. Returns NULL with the rcutils
// error state set when the family is not listed, its library or symbol is
// missing, or an argument is NULL.
ROSIDL_TYPESUPPORT_CPP_PUBLIC
const rosidl_message_type_support_t *get_message_typesupport_handle_function(
    const rosidl_message_type_support_t *handle, const char *identifier);

}  // namespace rosidl_typesupport_cpp

#endif  // ROSIDL_TYPESUPPORT_CPP__MESSAGE_TYPE_SUPPORT_DISPATCH_HPP_
