#ifndef ROSIDL_TYPESUPPORT_CPP__SERVICE_TYPE_SUPPORT_DISPATCH_HPP_
#define ROSIDL_TYPESUPPORT_CPP__SERVICE_TYPE_SUPPORT_DISPATCH_HPP_

#include <rosidl_runtime_c/service_type_support_struct.h>

#include "rosidl_typesupport_cpp/visibility_control.h"

namespace rosidl_typesupport_cpp {

// The service form of get_message_typesupport_handle_function.
ROSIDL_TYPESUPPORT_CPP_PUBLIC
const rosidl_service_type_support_t *get_service_typesupport_handle_function(
    const rosidl_service_type_support_t *handle, const char *identifier);

}  // namespace rosidl_typesupport_cpp

#endif  // ROSIDL_TYPESUPPORT_CPP__SERVICE_TYPE_SUPPORT_DISPATCH_HPP_
