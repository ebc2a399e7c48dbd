// C++ CDR type support of the Camera service: the per-type functions that
// types nesting a Camera message call, and the handle getters the middleware
// reaches through the C++ dispatch.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "kestrel_ifaces/msg/rosidl_typesupport_fastrtps_cpp__visibility_control.h"
#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support_decl.hpp"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support_decl.hpp"
#include "rosidl_typesupport_interface/macros.h"

#define KI_PUBLIC ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_kestrel_ifaces

namespace kestrel_ifaces {
namespace srv {
namespace typesupport_fastrtps_cpp {

// Write the message at the stream's position; false if it cannot be encoded.
KI_PUBLIC bool cdr_serialize(const kestrel_ifaces::srv::Camera_Request &ros_message,
                             eprosima::fastcdr::Cdr &cdr);
KI_PUBLIC bool cdr_serialize(const kestrel_ifaces::srv::Camera_Response &ros_message,
                             eprosima::fastcdr::Cdr &cdr);

// Read a message from the stream; a stream too short raises the CDR library's
// exception, before anything is allocated for a length it cannot hold.
KI_PUBLIC bool cdr_deserialize(eprosima::fastcdr::Cdr &cdr,
                               kestrel_ifaces::srv::Camera_Request &ros_message);
KI_PUBLIC bool cdr_deserialize(eprosima::fastcdr::Cdr &cdr,
                               kestrel_ifaces::srv::Camera_Response &ros_message);

// Bytes the message takes when it begins at `current_alignment`.
KI_PUBLIC size_t get_serialized_size(const kestrel_ifaces::srv::Camera_Request &ros_message,
                                     size_t current_alignment);
KI_PUBLIC size_t get_serialized_size(const kestrel_ifaces::srv::Camera_Response &ros_message,
                                     size_t current_alignment);

// Maximum bytes of the type from `current_alignment`; `full_bounded` tells
// whether that is a true maximum, `is_plain` whether the C++ layout is the CDR
// layout.
KI_PUBLIC size_t max_serialized_size_Camera_Request(bool &full_bounded, bool &is_plain,
                                                    size_t current_alignment);
KI_PUBLIC size_t max_serialized_size_Camera_Response(bool &full_bounded, bool &is_plain,
                                                     size_t current_alignment);

}  // namespace typesupport_fastrtps_cpp
}  // namespace srv
}  // namespace kestrel_ifaces

namespace rosidl_typesupport_fastrtps_cpp {
template <>
KI_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>();
template <>
KI_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>();
template <>
KI_PUBLIC const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>();
}  // namespace rosidl_typesupport_fastrtps_cpp

#ifdef __cplusplus
extern "C" {
#endif

KI_PUBLIC const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera_Request)();
KI_PUBLIC const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera_Response)();
KI_PUBLIC const rosidl_service_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera)();

#ifdef __cplusplus
}
#endif

#undef KI_PUBLIC

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__ROSIDL_TYPESUPPORT_FASTRTPS_CPP_HPP_
