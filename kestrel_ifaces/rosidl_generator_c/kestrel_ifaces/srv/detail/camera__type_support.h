// The C type-support getters of the Camera service: each returns the C
// dispatch handle of its type (libkestrel_ifaces__rosidl_typesupport_c), as
// ROSIDL_GET_MSG_TYPE_SUPPORT / ROSIDL_GET_SRV_TYPE_SUPPORT name them.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__TYPE_SUPPORT_H_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__TYPE_SUPPORT_H_

#include "kestrel_ifaces/msg/rosidl_generator_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_interface/macros.h"

#ifdef __cplusplus
extern "C" {
#endif

ROSIDL_GENERATOR_C_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                       Camera_Request)(void);

ROSIDL_GENERATOR_C_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                       Camera_Response)(void);

ROSIDL_GENERATOR_C_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t
    *ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                       Camera)(void);

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__TYPE_SUPPORT_H_
