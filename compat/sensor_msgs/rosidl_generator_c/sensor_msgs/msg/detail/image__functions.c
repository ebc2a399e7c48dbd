// Functions of sensor_msgs/msg/Image. The image owns its header's frame id,
// its encoding string and its pixel bytes.
#include "sensor_msgs/msg/detail/image__functions.h"

#include "message_functions.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "std_msgs/msg/detail/header__functions.h"

#define PUBLIC ROSIDL_GENERATOR_C_PUBLIC_sensor_msgs

// The numeric fields have no defaults and keep what the memory held. On
// failure what was initialised is released and the image left zero-filled,
// the state a second fini accepts.
PUBLIC bool sensor_msgs__msg__Image__init(sensor_msgs__msg__Image *msg) {
  if (!msg) {
    return false;
  }
  if (!std_msgs__msg__Header__init(&msg->header)) {
    goto fail;
  }
  if (!rosidl_runtime_c__String__init(&msg->encoding)) {
    goto fail_header;
  }
  if (!rosidl_runtime_c__uint8__Sequence__init(&msg->data, 0)) {
    goto fail_encoding;
  }
  return true;

fail_encoding:
  rosidl_runtime_c__String__fini(&msg->encoding);
fail_header:
  std_msgs__msg__Header__fini(&msg->header);
fail:
  memset(msg, 0, sizeof(*msg));
  return false;
}

PUBLIC void sensor_msgs__msg__Image__fini(sensor_msgs__msg__Image *msg) {
  if (!msg) {
    return;
  }
  std_msgs__msg__Header__fini(&msg->header);
  rosidl_runtime_c__String__fini(&msg->encoding);
  rosidl_runtime_c__uint8__Sequence__fini(&msg->data);
}

PUBLIC bool sensor_msgs__msg__Image__are_equal(const sensor_msgs__msg__Image *lhs,
                                               const sensor_msgs__msg__Image *rhs) {
  if (!lhs || !rhs) {
    return false;
  }
  return std_msgs__msg__Header__are_equal(&lhs->header, &rhs->header) &&
         lhs->height == rhs->height && lhs->width == rhs->width &&
         rosidl_runtime_c__String__are_equal(&lhs->encoding, &rhs->encoding) &&
         lhs->is_bigendian == rhs->is_bigendian && lhs->step == rhs->step &&
         rosidl_runtime_c__uint8__Sequence__are_equal(&lhs->data, &rhs->data);
}

PUBLIC bool sensor_msgs__msg__Image__copy(const sensor_msgs__msg__Image *input,
                                          sensor_msgs__msg__Image *output) {
  if (!input || !output) {
    return false;
  }
  if (input == output) {
    return true;
  }
  if (!std_msgs__msg__Header__copy(&input->header, &output->header) ||
      !rosidl_runtime_c__String__copy(&input->encoding, &output->encoding) ||
      !rosidl_runtime_c__uint8__Sequence__copy(&input->data, &output->data)) {
    return false;
  }
  output->height = input->height;
  output->width = input->width;
  output->is_bigendian = input->is_bigendian;
  output->step = input->step;
  return true;
}

COMPAT_MESSAGE_CREATE_FUNCTIONS(sensor_msgs__msg__Image, PUBLIC)
COMPAT_MESSAGE_SEQUENCE_FUNCTIONS(sensor_msgs__msg__Image, PUBLIC)
