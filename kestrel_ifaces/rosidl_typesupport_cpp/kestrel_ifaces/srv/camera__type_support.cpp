// C++ type-support dispatch of the Camera service. Each interface type has a
// handle whose map lists the families that serve it and the entry symbol of
// each; rosidl_typesupport_cpp loads the chosen family's library by name and
// calls that symbol. Nothing here touches a message.
#include <cstddef>

#include "kestrel_ifaces/srv/camera__rosidl_typesupport_cpp.hpp"
#include "rosidl_typesupport_cpp/identifier.hpp"
#include "rosidl_typesupport_cpp/message_type_support_dispatch.hpp"
#include "rosidl_typesupport_cpp/service_type_support_dispatch.hpp"
#include "rosidl_typesupport_cpp/type_support_map.h"

namespace kestrel_ifaces {
namespace srv {
namespace rosidl_typesupport_cpp {

// Number of families in every map.
constexpr size_t family_count = 2;

static const char *const _Camera_Request_message_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_cpp", "rosidl_typesupport_introspection_cpp"};
static const char *const _Camera_Request_message_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_"
    "Request",
    "rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__"
    "Camera_Request"};
// Slots owned by the dispatch library, which keeps each loaded family there.
static void *_Camera_Request_message_typesupport_data[family_count] = {nullptr, nullptr};
static const type_support_map_t _Camera_Request_message_typesupport_map = {
    family_count,
    "kestrel_ifaces",
    &_Camera_Request_message_typesupport_ids[0],
    &_Camera_Request_message_typesupport_symbol_names[0],
    &_Camera_Request_message_typesupport_data[0],
};
static rosidl_message_type_support_t Camera_Request_message_type_support_handle = {
    nullptr, &_Camera_Request_message_typesupport_map,
    ::rosidl_typesupport_cpp::get_message_typesupport_handle_function};

static const char *const _Camera_Response_message_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_cpp", "rosidl_typesupport_introspection_cpp"};
static const char *const _Camera_Response_message_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_"
    "Response",
    "rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__"
    "Camera_Response"};
static void *_Camera_Response_message_typesupport_data[family_count] = {nullptr, nullptr};
static const type_support_map_t _Camera_Response_message_typesupport_map = {
    family_count,
    "kestrel_ifaces",
    &_Camera_Response_message_typesupport_ids[0],
    &_Camera_Response_message_typesupport_symbol_names[0],
    &_Camera_Response_message_typesupport_data[0],
};
static rosidl_message_type_support_t Camera_Response_message_type_support_handle = {
    nullptr, &_Camera_Response_message_typesupport_map,
    ::rosidl_typesupport_cpp::get_message_typesupport_handle_function};

static const char *const _Camera_service_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_cpp", "rosidl_typesupport_introspection_cpp"};
static const char *const _Camera_service_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera",
    "rosidl_typesupport_introspection_cpp__get_service_type_support_handle__kestrel_ifaces__srv__"
    "Camera"};
static void *_Camera_service_typesupport_data[family_count] = {nullptr, nullptr};
static const type_support_map_t _Camera_service_typesupport_map = {
    family_count,
    "kestrel_ifaces",
    &_Camera_service_typesupport_ids[0],
    &_Camera_service_typesupport_symbol_names[0],
    &_Camera_service_typesupport_data[0],
};
static rosidl_service_type_support_t Camera_service_type_support_handle = {
    nullptr, &_Camera_service_typesupport_map,
    ::rosidl_typesupport_cpp::get_service_typesupport_handle_function};

// The identifier is a variable of rosidl_typesupport_cpp, so it can only be
// stored once this library is loaded.
static bool fill_at_load() {
  Camera_Request_message_type_support_handle.typesupport_identifier =
      ::rosidl_typesupport_cpp::typesupport_identifier;
  Camera_Response_message_type_support_handle.typesupport_identifier =
      ::rosidl_typesupport_cpp::typesupport_identifier;
  Camera_service_type_support_handle.typesupport_identifier =
      ::rosidl_typesupport_cpp::typesupport_identifier;
  return true;
}

// The contract fixes the timing: these handles are filled when the library loads.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_cpp
}  // namespace srv
}  // namespace kestrel_ifaces

namespace rosidl_typesupport_cpp {

namespace camera = kestrel_ifaces::srv::rosidl_typesupport_cpp;

template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>() {
  return &camera::Camera_Request_message_type_support_handle;
}

template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>() {
  return &camera::Camera_Response_message_type_support_handle;
}

template <>
ROSIDL_TYPESUPPORT_CPP_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>() {
  return &camera::Camera_service_type_support_handle;
}

}  // namespace rosidl_typesupport_cpp

extern "C" {

const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request() {
  return ::rosidl_typesupport_cpp::get_message_type_support_handle<
      kestrel_ifaces::srv::Camera_Request>();
}

const rosidl_message_type_support_t *
rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response() {
  return ::rosidl_typesupport_cpp::get_message_type_support_handle<
      kestrel_ifaces::srv::Camera_Response>();
}

const rosidl_service_type_support_t *
rosidl_typesupport_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera() {
  return ::rosidl_typesupport_cpp::get_service_type_support_handle<kestrel_ifaces::srv::Camera>();
}

}  // extern "C"
