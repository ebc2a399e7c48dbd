// The C++ dispatch resolves handles exactly as the C dispatch does (same map,
// same library slots), so it hands every lookup to rosidl_typesupport_c.
#include "rosidl_typesupport_c/message_type_support_dispatch.h"
#include "rosidl_typesupport_c/service_type_support_dispatch.h"
#include "rosidl_typesupport_cpp/message_type_support_dispatch.hpp"
#include "rosidl_typesupport_cpp/service_type_support_dispatch.hpp"

namespace rosidl_typesupport_cpp {

const rosidl_message_type_support_t *get_message_typesupport_handle_function(
    const rosidl_message_type_support_t *handle, const char *identifier) {
  return rosidl_typesupport_c__get_message_typesupport_handle_function(handle, identifier);
}

const rosidl_service_type_support_t *get_service_typesupport_handle_function(
    const rosidl_service_type_support_t *handle, const char *identifier) {
  return rosidl_typesupport_c__get_service_typesupport_handle_function(handle, identifier);
}

}  // namespace rosidl_typesupport_cpp
