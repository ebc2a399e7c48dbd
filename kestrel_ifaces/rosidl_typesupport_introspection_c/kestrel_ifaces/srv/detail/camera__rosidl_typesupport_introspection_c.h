// Entry points of the C introspection type support of the Camera service.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_

#include "kestrel_ifaces/msg/rosidl_typesupport_introspection_c__visibility_control.h"
#include "rosidl_runtime_c/message_initialization.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KI_INTRO_C_PUBLIC ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_kestrel_ifaces

// Initialize or finalize a message in caller-owned memory through the C data
// model; the mode is not used.
KI_INTRO_C_PUBLIC void
kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_init_function(
    void *message_memory, enum rosidl_runtime_c__message_initialization _init);
KI_INTRO_C_PUBLIC void
kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_fini_function(
    void *message_memory);
KI_INTRO_C_PUBLIC void
kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_init_function(
    void *message_memory, enum rosidl_runtime_c__message_initialization _init);
KI_INTRO_C_PUBLIC void
kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_fini_function(
    void *message_memory);

// The handles; each call completes the records it reaches (identifier,
// nested image handle, service members) and returns the same address.
KI_INTRO_C_PUBLIC const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request(
    void);
KI_INTRO_C_PUBLIC const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response(
    void);
KI_INTRO_C_PUBLIC const rosidl_service_type_support_t *
rosidl_typesupport_introspection_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera(
    void);

#undef KI_INTRO_C_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_INTROSPECTION_C_H_
