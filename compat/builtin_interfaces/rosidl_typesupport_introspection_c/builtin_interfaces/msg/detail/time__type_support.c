// C introspection of builtin_interfaces/msg/Time: two plain integer fields.
#include <stddef.h>

#include "builtin_interfaces/msg/detail/time__functions.h"
#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_c.h"
#include "builtin_interfaces/msg/detail/time__struct.h"
#include "rosidl_typesupport_introspection_c/field_types.h"
#include "rosidl_typesupport_introspection_c/identifier.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"

// The mode is not passed on: the C data model has one way to initialize.
static void time_init(void *message_memory, enum rosidl_runtime_c__message_initialization mode) {
  (void)mode;
  builtin_interfaces__msg__Time__init(message_memory);
}

static void time_fini(void *message_memory) {
  builtin_interfaces__msg__Time__fini(message_memory);
}

static const rosidl_typesupport_introspection_c__MessageMember time_member_array[2] = {
    {"sec", rosidl_typesupport_introspection_c__ROS_TYPE_INT32, 0, NULL, false, 0, false,
     offsetof(builtin_interfaces__msg__Time, sec), NULL, NULL, NULL, NULL, NULL, NULL, NULL},
    {"nanosec", rosidl_typesupport_introspection_c__ROS_TYPE_UINT32, 0, NULL, false, 0, false,
     offsetof(builtin_interfaces__msg__Time, nanosec), NULL, NULL, NULL, NULL, NULL, NULL, NULL},
};

static const rosidl_typesupport_introspection_c__MessageMembers time_members = {
    "builtin_interfaces__msg", "Time",    2,        sizeof(builtin_interfaces__msg__Time),
    time_member_array,         time_init, time_fini};

static rosidl_message_type_support_t time_handle = {NULL, &time_members,
                                                    get_message_typesupport_handle_function};

// The identifier is a variable of another library, stored by the first call;
// concurrent first calls store the same pointer, atomically.
const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__builtin_interfaces__msg__Time(
    void) {
  if (__atomic_load_n(&time_handle.typesupport_identifier, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(&time_handle.typesupport_identifier,
                     rosidl_typesupport_introspection_c__identifier, __ATOMIC_RELEASE);
  }
  return &time_handle;
}
