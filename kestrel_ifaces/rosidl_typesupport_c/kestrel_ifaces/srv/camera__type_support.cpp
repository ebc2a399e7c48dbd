// C type-support dispatch of the Camera service. Each interface type has a
// handle whose map lists the C families that serve it and the entry symbol of
// each; rosidl_typesupport_c loads the chosen family's library by name and
// calls that symbol. Nothing here touches a message.
#include <cstddef>

#include "kestrel_ifaces/msg/rosidl_typesupport_c__visibility_control.h"
#include "kestrel_ifaces/srv/detail/camera__type_support.h"
#include "rosidl_typesupport_c/identifier.h"
#include "rosidl_typesupport_c/message_type_support_dispatch.h"
#include "rosidl_typesupport_c/service_type_support_dispatch.h"
#include "rosidl_typesupport_c/type_support_map.h"

namespace kestrel_ifaces {
namespace srv {
namespace rosidl_typesupport_c {

// Number of families in every map.
constexpr size_t family_count = 2;

static const char *const _Camera_Request_message_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_c", "rosidl_typesupport_introspection_c"};
static const char *const _Camera_Request_message_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_"
    "Request",
    "rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__"
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
    rosidl_typesupport_c__get_message_typesupport_handle_function};

static const char *const _Camera_Response_message_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_c", "rosidl_typesupport_introspection_c"};
static const char *const _Camera_Response_message_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_"
    "Response",
    "rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__"
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
    rosidl_typesupport_c__get_message_typesupport_handle_function};

static const char *const _Camera_service_typesupport_ids[family_count] = {
    "rosidl_typesupport_fastrtps_c", "rosidl_typesupport_introspection_c"};
static const char *const _Camera_service_typesupport_symbol_names[family_count] = {
    "rosidl_typesupport_fastrtps_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera",
    "rosidl_typesupport_introspection_c__get_service_type_support_handle__kestrel_ifaces__srv__"
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
    rosidl_typesupport_c__get_service_typesupport_handle_function};

// Stores the identifier, a variable of rosidl_typesupport_c, in the handles.
static bool fill_at_load() {
  Camera_Request_message_type_support_handle.typesupport_identifier =
      rosidl_typesupport_c__typesupport_identifier;
  Camera_Response_message_type_support_handle.typesupport_identifier =
      rosidl_typesupport_c__typesupport_identifier;
  Camera_service_type_support_handle.typesupport_identifier =
      rosidl_typesupport_c__typesupport_identifier;
  return true;
}

// The contract fixes the timing at load: from then on the handles carry the identifier.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_c
}  // namespace srv
}  // namespace kestrel_ifaces

namespace camera = kestrel_ifaces::srv::rosidl_typesupport_c;

extern "C" {

ROSIDL_TYPESUPPORT_C_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                  Camera_Request)() {
  return &camera::Camera_Request_message_type_support_handle;
}

ROSIDL_TYPESUPPORT_C_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                  Camera_Response)() {
  return &camera::Camera_Response_message_type_support_handle;
}

ROSIDL_TYPESUPPORT_C_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t *
ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(rosidl_typesupport_c, kestrel_ifaces, srv,
                                                  Camera)() {
  return &camera::Camera_service_type_support_handle;
}

}  // extern "C"
