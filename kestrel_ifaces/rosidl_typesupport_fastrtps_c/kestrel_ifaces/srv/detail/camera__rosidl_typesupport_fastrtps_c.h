// CDR type support of the Camera service for its C structures: exact and
// maximum serialized sizes of the two messages (for types that nest them)
// and the handle getters. C++ only: the maximum-size functions return their
// flags through references.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_

#include <stddef.h>

#include "kestrel_ifaces/msg/rosidl_typesupport_fastrtps_c__visibility_control.h"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_interface/macros.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KI_PUBLIC ROSIDL_TYPESUPPORT_FASTRTPS_C_PUBLIC_kestrel_ifaces

// Bytes the message takes when it begins at `current_alignment`. The request's
// is never read (it may be NULL); the response's must be a valid message.
KI_PUBLIC size_t get_serialized_size_kestrel_ifaces__srv__Camera_Request(
    const void *untyped_ros_message, size_t current_alignment);
KI_PUBLIC size_t get_serialized_size_kestrel_ifaces__srv__Camera_Response(
    const void *untyped_ros_message, size_t current_alignment);

// Maximum bytes of the type from `current_alignment`; `full_bounded` tells
// whether that is a true maximum, `is_plain` whether the C layout is the CDR
// layout.
KI_PUBLIC size_t max_serialized_size_kestrel_ifaces__srv__Camera_Request(bool &full_bounded,
                                                                         bool &is_plain,
                                                                         size_t current_alignment);
KI_PUBLIC size_t max_serialized_size_kestrel_ifaces__srv__Camera_Response(bool &full_bounded,
                                                                          bool &is_plain,
                                                                          size_t current_alignment);

KI_PUBLIC const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Request)();
KI_PUBLIC const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Response)();
KI_PUBLIC const rosidl_service_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera)();

#undef KI_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_C_H_
