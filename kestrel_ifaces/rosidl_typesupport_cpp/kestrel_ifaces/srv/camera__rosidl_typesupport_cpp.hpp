// Entry points of the Camera service's C++ type-support dispatch: one per
// interface type, each returning a handle whose map names the concrete
// families.
#ifndef KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_
#define KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_

#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_cpp/message_type_support.hpp"
#include "rosidl_typesupport_cpp/service_type_support.hpp"

#define KESTREL_IFACES_TYPESUPPORT_CPP_PUBLIC __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

KESTREL_IFACES_TYPESUPPORT_CPP_PUBLIC
const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();

KESTREL_IFACES_TYPESUPPORT_CPP_PUBLIC
const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();

KESTREL_IFACES_TYPESUPPORT_CPP_PUBLIC
const rosidl_service_type_support_t *
rosidl_typesupport_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera();

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__CAMERA__ROSIDL_TYPESUPPORT_CPP_HPP_
