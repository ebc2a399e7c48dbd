// C structure of sensor_msgs/msg/Image (96 bytes on x86-64).
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_H_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_H_

#include <stddef.h>
#include <stdint.h>

#include "rosidl_runtime_c/primitives_sequence.h"
#include "rosidl_runtime_c/string.h"
#include "std_msgs/msg/detail/header__struct.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct sensor_msgs__msg__Image {
  std_msgs__msg__Header header;
  uint32_t height;                         // rows
  uint32_t width;                          // columns
  rosidl_runtime_c__String encoding;       // pixel format, e.g. "rgb8"
  uint8_t is_bigendian;                    // byte order of multi-byte pixel values
  uint32_t step;                           // bytes per row
  rosidl_runtime_c__uint8__Sequence data;  // height * step bytes
} sensor_msgs__msg__Image;

typedef struct sensor_msgs__msg__Image__Sequence {
  sensor_msgs__msg__Image *data;
  size_t size;      // valid elements
  size_t capacity;  // allocated and initialised elements
} sensor_msgs__msg__Image__Sequence;

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_H_
