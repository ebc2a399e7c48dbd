// Functions of std_msgs/msg/Header. The frame id is a rosidl string that
// owns its characters.
#include "std_msgs/msg/detail/header__functions.h"

#include "builtin_interfaces/msg/detail/time__functions.h"
#include "message_functions.h"
#include "rosidl_runtime_c/string_functions.h"

#define PUBLIC ROSIDL_GENERATOR_C_PUBLIC_std_msgs

// On failure the header is left zero-filled, the state a second fini accepts.
PUBLIC bool std_msgs__msg__Header__init(std_msgs__msg__Header *msg) {
  if (!msg) {
    return false;
  }
  if (!builtin_interfaces__msg__Time__init(&msg->stamp)) {
    memset(msg, 0, sizeof(*msg));
    return false;
  }
  if (!rosidl_runtime_c__String__init(&msg->frame_id)) {
    builtin_interfaces__msg__Time__fini(&msg->stamp);
    memset(msg, 0, sizeof(*msg));
    return false;
  }
  return true;
}

PUBLIC void std_msgs__msg__Header__fini(std_msgs__msg__Header *msg) {
  if (!msg) {
    return;
  }
  builtin_interfaces__msg__Time__fini(&msg->stamp);
  rosidl_runtime_c__String__fini(&msg->frame_id);
}

PUBLIC bool std_msgs__msg__Header__are_equal(const std_msgs__msg__Header *lhs,
                                             const std_msgs__msg__Header *rhs) {
  if (!lhs || !rhs) {
    return false;
  }
  return builtin_interfaces__msg__Time__are_equal(&lhs->stamp, &rhs->stamp) &&
         rosidl_runtime_c__String__are_equal(&lhs->frame_id, &rhs->frame_id);
}

PUBLIC bool std_msgs__msg__Header__copy(const std_msgs__msg__Header *input,
                                        std_msgs__msg__Header *output) {
  if (!input || !output) {
    return false;
  }
  if (input == output) {
    return true;
  }
  return builtin_interfaces__msg__Time__copy(&input->stamp, &output->stamp) &&
         rosidl_runtime_c__String__copy(&input->frame_id, &output->frame_id);
}

COMPAT_MESSAGE_CREATE_FUNCTIONS(std_msgs__msg__Header, PUBLIC)
COMPAT_MESSAGE_SEQUENCE_FUNCTIONS(std_msgs__msg__Header, PUBLIC)
