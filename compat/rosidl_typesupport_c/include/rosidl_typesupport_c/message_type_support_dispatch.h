// Run-time selection of a message's C type-support family.
#ifndef ROSIDL_TYPESUPPORT_C__MESSAGE_TYPE_SUPPORT_DISPATCH_H_
#define ROSIDL_TYPESUPPORT_C__MESSAGE_TYPE_SUPPORT_DISPATCH_H_

#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_typesupport_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// Resolves a dispatch handle to the handle of the family `identifier`: the
// handle itself when it already carries that identifier, otherwise the result
// of the family's entry symbol in lib<package>__<identifier>.so, found on the
// library search path and loaded on first use (it then stays loaded). Returns
// NULL with the rcutils error state set when the family is not listed, its
// library or symbol is missing, or an argument is NULL. Thread-safe.
ROSIDL_TYPESUPPORT_C_PUBLIC
const rosidl_message_type_support_t *rosidl_typesupport_c__get_message_typesupport_handle_function(
    const rosidl_message_type_support_t *handle, const char *identifier);

#ifdef __cplusplus
}
#endif

#endif  // ROSIDL_TYPESUPPORT_C__MESSAGE_TYPE_SUPPORT_DISPATCH_H_
