// C introspection of std_msgs/msg/Header: a nested Time and a string.
#include <stddef.h>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_c.h"
#include "rosidl_typesupport_introspection_c/field_types.h"
#include "rosidl_typesupport_introspection_c/identifier.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "std_msgs/msg/detail/header__functions.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_c.h"
#include "std_msgs/msg/detail/header__struct.h"

// The mode is not passed on: the C data model has one way to initialize.
static void header_init(void *message_memory, enum rosidl_runtime_c__message_initialization mode) {
  (void)mode;
  std_msgs__msg__Header__init(message_memory);
}

static void header_fini(void *message_memory) {
  std_msgs__msg__Header__fini(message_memory);
}

// `stamp` names the Time handle of another library, stored by the first call.
static rosidl_typesupport_introspection_c__MessageMember header_member_array[2] = {
    {"stamp", rosidl_typesupport_introspection_c__ROS_TYPE_MESSAGE, 0, NULL, false, 0, false,
     offsetof(std_msgs__msg__Header, stamp), NULL, NULL, NULL, NULL, NULL, NULL, NULL},
    {"frame_id", rosidl_typesupport_introspection_c__ROS_TYPE_STRING, 0, NULL, false, 0, false,
     offsetof(std_msgs__msg__Header, frame_id), NULL, NULL, NULL, NULL, NULL, NULL, NULL},
};

static const rosidl_typesupport_introspection_c__MessageMembers header_members = {
    "std_msgs__msg",     "Header",    2,          sizeof(std_msgs__msg__Header),
    header_member_array, header_init, header_fini};

static rosidl_message_type_support_t header_handle = {NULL, &header_members,
                                                      get_message_typesupport_handle_function};

// Concurrent first calls store the same pointers, atomically.
const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__std_msgs__msg__Header(void) {
  if (__atomic_load_n(&header_member_array[0].members_, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(
        &header_member_array[0].members_,
        rosidl_typesupport_introspection_c__get_message_type_support_handle__builtin_interfaces__msg__Time(),
        __ATOMIC_RELEASE);
  }
  if (__atomic_load_n(&header_handle.typesupport_identifier, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(&header_handle.typesupport_identifier,
                     rosidl_typesupport_introspection_c__identifier, __ATOMIC_RELEASE);
  }
  return &header_handle;
}
