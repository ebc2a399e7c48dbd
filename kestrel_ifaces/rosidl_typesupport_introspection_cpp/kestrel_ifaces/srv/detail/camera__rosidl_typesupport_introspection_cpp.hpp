// Entry points of the C++ introspection type support of the Camera service.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_

#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_runtime_cpp/message_initialization.hpp"
#include "rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp"
#include "rosidl_typesupport_introspection_cpp/service_type_support_decl.hpp"
#include "rosidl_typesupport_introspection_cpp/visibility_control.h"

namespace kestrel_ifaces {
namespace srv {
namespace rosidl_typesupport_introspection_cpp {

// Construct or destroy a message in caller-owned memory; the memory itself is
// neither allocated nor released.
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
void Camera_Request_init_function(void *message_memory,
                                  rosidl_runtime_cpp::MessageInitialization _init);
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
void Camera_Request_fini_function(void *message_memory);
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
void Camera_Response_init_function(void *message_memory,
                                   rosidl_runtime_cpp::MessageInitialization _init);
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
void Camera_Response_fini_function(void *message_memory);

}  // namespace rosidl_typesupport_introspection_cpp
}  // namespace srv
}  // namespace kestrel_ifaces

namespace rosidl_typesupport_introspection_cpp {
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>();
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>();
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>();
}  // namespace rosidl_typesupport_introspection_cpp

#ifdef __cplusplus
extern "C" {
#endif

ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();

ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();

ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC
const rosidl_service_type_support_t *
rosidl_typesupport_introspection_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera();

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_HPP_
