// C introspection of the Camera service: member tables, message-members
// records and handles of the request and the response, and the service
// record that joins them. Values owned by other libraries (the identifier,
// the image handle) are stored by the getters; concurrent first calls store
// the same values, with atomic accesses so that they do not race.
#include <stddef.h>

#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_c.h"
#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "rosidl_typesupport_introspection_c/field_types.h"
#include "rosidl_typesupport_introspection_c/identifier.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "rosidl_typesupport_introspection_c/service_introspection.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_c.h"

void kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_init_function(
    void *message_memory, enum rosidl_runtime_c__message_initialization _init) {
  (void)_init;
  kestrel_ifaces__srv__Camera_Request__init(message_memory);
}

void kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_fini_function(
    void *message_memory) {
  kestrel_ifaces__srv__Camera_Request__fini(message_memory);
}

void kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_init_function(
    void *message_memory, enum rosidl_runtime_c__message_initialization _init) {
  (void)_init;
  kestrel_ifaces__srv__Camera_Response__init(message_memory);
}

void kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_fini_function(
    void *message_memory) {
  kestrel_ifaces__srv__Camera_Response__fini(message_memory);
}

static const rosidl_typesupport_introspection_c__MessageMember
    kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_member_array
        [1] = {
            {"angle", rosidl_typesupport_introspection_c__ROS_TYPE_INT16, 0, NULL, false, 0, false,
             0, NULL, NULL, NULL, NULL, NULL, NULL, NULL},
};

// `members_` is set by the response getter to the image's handle.
static rosidl_typesupport_introspection_c__MessageMember
    kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_member_array
        [1] = {
            {"image", rosidl_typesupport_introspection_c__ROS_TYPE_MESSAGE, 0, NULL, false, 0,
             false, 0, NULL, NULL, NULL, NULL, NULL, NULL, NULL},
};

static const rosidl_typesupport_introspection_c__MessageMembers
    kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_members = {
        "kestrel_ifaces__srv",
        "Camera_Request",
        1,
        sizeof(kestrel_ifaces__srv__Camera_Request),
        kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_member_array,
        kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_init_function,
        kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_fini_function,
};

static const rosidl_typesupport_introspection_c__MessageMembers
    kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_members = {
        "kestrel_ifaces__srv",
        "Camera_Response",
        1,
        sizeof(kestrel_ifaces__srv__Camera_Response),
        kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_member_array,
        kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_init_function,
        kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_fini_function,
};

static rosidl_message_type_support_t
    kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_type_support_handle =
        {
            NULL,
            &kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_members,
            get_message_typesupport_handle_function,
};

static rosidl_message_type_support_t
    kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_type_support_handle =
        {
            NULL,
            &kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_members,
            get_message_typesupport_handle_function,
};

// Both members pointers are filled by the service getter.
static rosidl_typesupport_introspection_c__ServiceMembers
    kestrel_ifaces__srv__detail__camera__rosidl_typesupport_introspection_c__Camera_service_members =
        {
            "kestrel_ifaces__srv",
            "Camera",
            NULL,
            NULL,
};

static rosidl_service_type_support_t
    kestrel_ifaces__srv__detail__camera__rosidl_typesupport_introspection_c__Camera_service_type_support_handle =
        {
            NULL,
            &kestrel_ifaces__srv__detail__camera__rosidl_typesupport_introspection_c__Camera_service_members,
            get_service_typesupport_handle_function,
};

// Stores the introspection identifier into an empty identifier field. The
// contract fixes the timing: the getters fill their records at the first call.
static void store_identifier(const char **field) {
  if (__atomic_load_n(field, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(field, rosidl_typesupport_introspection_c__identifier, __ATOMIC_RELEASE);
  }
}

const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request(
    void) {
  rosidl_message_type_support_t *handle =
      &kestrel_ifaces__srv__Camera_Request__rosidl_typesupport_introspection_c__Camera_Request_message_type_support_handle;
  store_identifier(&handle->typesupport_identifier);
  return handle;
}

const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response(
    void) {
  rosidl_message_type_support_t *handle =
      &kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_type_support_handle;
  // The image handle is stored on every call.
  __atomic_store_n(
      &kestrel_ifaces__srv__Camera_Response__rosidl_typesupport_introspection_c__Camera_Response_message_member_array
           [0]
               .members_,
      rosidl_typesupport_introspection_c__get_message_type_support_handle__sensor_msgs__msg__Image(),
      __ATOMIC_RELEASE);
  store_identifier(&handle->typesupport_identifier);
  return handle;
}

const rosidl_service_type_support_t *
rosidl_typesupport_introspection_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera(
    void) {
  rosidl_service_type_support_t *handle =
      &kestrel_ifaces__srv__detail__camera__rosidl_typesupport_introspection_c__Camera_service_type_support_handle;
  store_identifier(&handle->typesupport_identifier);
  rosidl_typesupport_introspection_c__ServiceMembers *service =
      (rosidl_typesupport_introspection_c__ServiceMembers *)handle->data;
  if (__atomic_load_n(&service->request_members_, __ATOMIC_ACQUIRE) == NULL) {
    const rosidl_message_type_support_t *request =
        rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();
    __atomic_store_n(&service->request_members_,
                     (const rosidl_typesupport_introspection_c__MessageMembers *)request->data,
                     __ATOMIC_RELEASE);
  }
  if (__atomic_load_n(&service->response_members_, __ATOMIC_ACQUIRE) == NULL) {
    const rosidl_message_type_support_t *response =
        rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();
    __atomic_store_n(&service->response_members_,
                     (const rosidl_typesupport_introspection_c__MessageMembers *)response->data,
                     __ATOMIC_RELEASE);
  }
  return handle;
}
