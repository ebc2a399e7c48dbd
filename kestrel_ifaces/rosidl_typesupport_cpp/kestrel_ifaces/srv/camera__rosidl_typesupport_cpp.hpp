// Entry points of the Camera service's C++ type-support dispatch: one per
// interface type, each returning a handle whose map names the concrete
// families.
#ifndef KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_
#define KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_

#include "kestrel_ifaces/msg/rosidl_typesupport_cpp__visibility_control.h"
#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_cpp/message_type_support.hpp"
#include "rosidl_typesupport_cpp/service_type_support.hpp"

namespace rosidl_typesupport_cpp {
template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>();
template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>();
template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>();
}  // namespace rosidl_typesupport_cpp

#ifdef __cplusplus
extern "C" {
#endif

ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();

ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();

ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t *
rosidl_typesupport_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera();

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_
