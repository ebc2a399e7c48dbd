// C++ introspection of the Camera service: member tables, message-members
// records and handles of the request and the response, and the service
// record that joins them.
#include <new>

#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_cpp.hpp"
#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "rosidl_typesupport_introspection_cpp/field_types.hpp"
#include "rosidl_typesupport_introspection_cpp/identifier.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"
#include "rosidl_typesupport_introspection_cpp/service_introspection.hpp"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_cpp.hpp"

namespace kestrel_ifaces {
namespace srv {
namespace rosidl_typesupport_introspection_cpp {

namespace intro = ::rosidl_typesupport_introspection_cpp;

void Camera_Request_init_function(void *message_memory,
                                  rosidl_runtime_cpp::MessageInitialization _init) {
  new (message_memory) kestrel_ifaces::srv::Camera_Request(_init);
}

void Camera_Request_fini_function(void *message_memory) {
  static_cast<kestrel_ifaces::srv::Camera_Request *>(message_memory)->~Camera_Request_();
}

void Camera_Response_init_function(void *message_memory,
                                   rosidl_runtime_cpp::MessageInitialization _init) {
  new (message_memory) kestrel_ifaces::srv::Camera_Response(_init);
}

void Camera_Response_fini_function(void *message_memory) {
  static_cast<kestrel_ifaces::srv::Camera_Response *>(message_memory)->~Camera_Response_();
}

static const intro::MessageMember Camera_Request_message_member_array[1] = {
    {"angle", intro::ROS_TYPE_INT16, 0, nullptr, false, 0, false, 0, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
};

static const intro::MessageMembers Camera_Request_message_members = {
    "kestrel_ifaces::srv",
    "Camera_Request",
    1,
    sizeof(kestrel_ifaces::srv::Camera_Request),
    Camera_Request_message_member_array,
    Camera_Request_init_function,
    Camera_Request_fini_function};

static rosidl_message_type_support_t Camera_Request_message_type_support_handle = {
    nullptr, &Camera_Request_message_members, get_message_typesupport_handle_function};

// `members_` names the image's handle from the sensor_msgs library: stored at
// load.
static intro::MessageMember Camera_Response_message_member_array[1] = {
    {"image", intro::ROS_TYPE_MESSAGE, 0, nullptr, false, 0, false, 0, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
};

static const intro::MessageMembers Camera_Response_message_members = {
    "kestrel_ifaces::srv",
    "Camera_Response",
    1,
    sizeof(kestrel_ifaces::srv::Camera_Response),
    Camera_Response_message_member_array,
    Camera_Response_init_function,
    Camera_Response_fini_function};

static rosidl_message_type_support_t Camera_Response_message_type_support_handle = {
    nullptr, &Camera_Response_message_members, get_message_typesupport_handle_function};

// The two members pointers are filled by the first service getter call.
static intro::ServiceMembers Camera_service_members = {"kestrel_ifaces::srv", "Camera", nullptr,
                                                       nullptr};

static rosidl_service_type_support_t Camera_service_type_support_handle = {
    nullptr, &Camera_service_members, get_service_typesupport_handle_function};

// The identifier and the image handle are variables of other libraries, so
// they can only be stored once this library is loaded.
static bool fill_at_load() {
  Camera_Request_message_type_support_handle.typesupport_identifier = intro::typesupport_identifier;
  Camera_Response_message_member_array[0].members_ =
      intro::get_message_type_support_handle<sensor_msgs::msg::Image>();
  Camera_Response_message_type_support_handle.typesupport_identifier =
      intro::typesupport_identifier;
  Camera_service_type_support_handle.typesupport_identifier = intro::typesupport_identifier;
  return true;
}

// The contract fixes the timing: these handles are filled when the library loads.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_introspection_cpp
}  // namespace srv
}  // namespace kestrel_ifaces

namespace rosidl_typesupport_introspection_cpp {

namespace camera = kestrel_ifaces::srv::rosidl_typesupport_introspection_cpp;

template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>() {
  return &camera::Camera_Request_message_type_support_handle;
}

template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>() {
  return &camera::Camera_Response_message_type_support_handle;
}

// Fills both members pointers when either is still NULL; the contract fixes
// that timing at the first call. Concurrent first calls store the same
// values; the accesses are atomic so that they do not race.
template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>() {
  auto *service = static_cast<ServiceMembers *>(
      const_cast<void *>(camera::Camera_service_type_support_handle.data));
  if (__atomic_load_n(&service->request_members_, __ATOMIC_ACQUIRE) == nullptr ||
      __atomic_load_n(&service->response_members_, __ATOMIC_ACQUIRE) == nullptr) {
    const auto *request = static_cast<const MessageMembers *>(
        get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>()->data);
    __atomic_store_n(&service->request_members_, request, __ATOMIC_RELEASE);
    const auto *response = static_cast<const MessageMembers *>(
        get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>()->data);
    __atomic_store_n(&service->response_members_, response, __ATOMIC_RELEASE);
  }
  return &camera::Camera_service_type_support_handle;
}

}  // namespace rosidl_typesupport_introspection_cpp

extern "C" {

const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request() {
  return ::rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
      kestrel_ifaces::srv::Camera_Request>();
}

const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response() {
  return ::rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
      kestrel_ifaces::srv::Camera_Response>();
}

const rosidl_service_type_support_t *
rosidl_typesupport_introspection_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera() {
  return ::rosidl_typesupport_introspection_cpp::get_service_type_support_handle<
      kestrel_ifaces::srv::Camera>();
}

}  // extern "C"
