// C introspection of sensor_msgs/msg/Image: a nested Header, scalars, two
// strings and the pixel bytes as an unbounded uint8 sequence reached through
// the member's sequence functions.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "rosidl_runtime_c/primitives_sequence.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_typesupport_introspection_c/field_types.h"
#include "rosidl_typesupport_introspection_c/identifier.h"
#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "sensor_msgs/msg/detail/image__functions.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_c.h"
#include "sensor_msgs/msg/detail/image__struct.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_c.h"

typedef rosidl_runtime_c__uint8__Sequence Bytes;

// The mode is not passed on: the C data model has one way to initialize.
static void image_init(void *message_memory, enum rosidl_runtime_c__message_initialization mode) {
  (void)mode;
  sensor_msgs__msg__Image__init(message_memory);
}

static void image_fini(void *message_memory) {
  sensor_msgs__msg__Image__fini(message_memory);
}

// Sequence access to `data`; indices are the caller's to keep in range.
static size_t data_size(const void *untyped_member) {
  return ((const Bytes *)untyped_member)->size;
}

static const void *data_get_const(const void *untyped_member, size_t index) {
  return &((const Bytes *)untyped_member)->data[index];
}

static void *data_get(void *untyped_member, size_t index) {
  return &((Bytes *)untyped_member)->data[index];
}

static void data_fetch(const void *untyped_member, size_t index, void *untyped_value) {
  *(uint8_t *)untyped_value = ((const Bytes *)untyped_member)->data[index];
}

static void data_assign(void *untyped_member, size_t index, const void *untyped_value) {
  ((Bytes *)untyped_member)->data[index] = *(const uint8_t *)untyped_value;
}

// Keeps the first min(old, new) bytes and zeroes any new ones, like a C++
// vector resize. Within the capacity nothing is reallocated; beyond it the
// bytes move to a new block, and on allocation failure the sequence is left
// as it was.
static bool data_resize(void *untyped_member, size_t size) {
  Bytes *bytes = untyped_member;
  if (size > bytes->capacity) {
    Bytes grown;
    if (!rosidl_runtime_c__uint8__Sequence__init(&grown, size)) {
      return false;
    }
    const size_t kept = bytes->size;
    if (kept > 0) {
      memcpy(grown.data, bytes->data, kept);
    }
    rosidl_runtime_c__uint8__Sequence__fini(bytes);
    *bytes = grown;
    bytes->size = kept;
  }
  // Sequence init does not clear the bytes it allocates.
  if (size > bytes->size) {
    memset(bytes->data + bytes->size, 0, size - bytes->size);
  }
  bytes->size = size;
  return true;
}

#define IMAGE_FIELD(field, type_id)                                                            \
  {                                                                                            \
#field, type_id, 0, NULL, false, 0, false, offsetof(sensor_msgs__msg__Image, field), NULL, \
        NULL, NULL, NULL, NULL, NULL, NULL                                                     \
  }

// `header` names the Header handle of another library, stored by the first
// call.
static rosidl_typesupport_introspection_c__MessageMember image_member_array[7] = {
    IMAGE_FIELD(header, rosidl_typesupport_introspection_c__ROS_TYPE_MESSAGE),
    IMAGE_FIELD(height, rosidl_typesupport_introspection_c__ROS_TYPE_UINT32),
    IMAGE_FIELD(width, rosidl_typesupport_introspection_c__ROS_TYPE_UINT32),
    IMAGE_FIELD(encoding, rosidl_typesupport_introspection_c__ROS_TYPE_STRING),
    IMAGE_FIELD(is_bigendian, rosidl_typesupport_introspection_c__ROS_TYPE_UINT8),
    IMAGE_FIELD(step, rosidl_typesupport_introspection_c__ROS_TYPE_UINT32),
    {"data", rosidl_typesupport_introspection_c__ROS_TYPE_UINT8, 0, NULL, true, 0, false,
     offsetof(sensor_msgs__msg__Image, data), NULL, data_size, data_get_const, data_get, data_fetch,
     data_assign, data_resize},
};

#undef IMAGE_FIELD

static const rosidl_typesupport_introspection_c__MessageMembers image_members = {
    "sensor_msgs__msg", "Image",    7,         sizeof(sensor_msgs__msg__Image),
    image_member_array, image_init, image_fini};

static rosidl_message_type_support_t image_handle = {NULL, &image_members,
                                                     get_message_typesupport_handle_function};

// Concurrent first calls store the same pointers, atomically.
const rosidl_message_type_support_t *
rosidl_typesupport_introspection_c__get_message_type_support_handle__sensor_msgs__msg__Image(void) {
  if (__atomic_load_n(&image_member_array[0].members_, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(
        &image_member_array[0].members_,
        rosidl_typesupport_introspection_c__get_message_type_support_handle__std_msgs__msg__Header(),
        __ATOMIC_RELEASE);
  }
  if (__atomic_load_n(&image_handle.typesupport_identifier, __ATOMIC_ACQUIRE) == NULL) {
    __atomic_store_n(&image_handle.typesupport_identifier,
                     rosidl_typesupport_introspection_c__identifier, __ATOMIC_RELEASE);
  }
  return &image_handle;
}
