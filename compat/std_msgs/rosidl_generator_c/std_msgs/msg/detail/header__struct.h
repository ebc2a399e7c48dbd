// C structure of std_msgs/msg/Header.
#ifndef STD_MSGS__MSG__DETAIL__HEADER__STRUCT_H_
#define STD_MSGS__MSG__DETAIL__HEADER__STRUCT_H_

#include <stddef.h>

#include "builtin_interfaces/msg/detail/time__struct.h"
#include "rosidl_runtime_c/string.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct std_msgs__msg__Header {
  builtin_interfaces__msg__Time stamp;
  rosidl_runtime_c__String frame_id;
} std_msgs__msg__Header;

typedef struct std_msgs__msg__Header__Sequence {
  std_msgs__msg__Header *data;
  size_t size;      // valid elements
  size_t capacity;  // allocated and initialised elements
} std_msgs__msg__Header__Sequence;

#ifdef __cplusplus
}
#endif

#endif  // STD_MSGS__MSG__DETAIL__HEADER__STRUCT_H_
