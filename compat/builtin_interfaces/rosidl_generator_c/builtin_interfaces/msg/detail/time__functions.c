// Functions of builtin_interfaces/msg/Time. A Time holds no resources.
#include "builtin_interfaces/msg/detail/time__functions.h"

#include "message_functions.h"

#define PUBLIC ROSIDL_GENERATOR_C_PUBLIC_builtin_interfaces

// Both fields are plain numbers without defaults: init leaves them as they are.
PUBLIC bool builtin_interfaces__msg__Time__init(builtin_interfaces__msg__Time *msg) {
  return msg != NULL;
}

PUBLIC void builtin_interfaces__msg__Time__fini(builtin_interfaces__msg__Time *msg) {
  (void)msg;
}

PUBLIC bool builtin_interfaces__msg__Time__are_equal(const builtin_interfaces__msg__Time *lhs,
                                                     const builtin_interfaces__msg__Time *rhs) {
  if (!lhs || !rhs) {
    return false;
  }
  return lhs->sec == rhs->sec && lhs->nanosec == rhs->nanosec;
}

PUBLIC bool builtin_interfaces__msg__Time__copy(const builtin_interfaces__msg__Time *input,
                                                builtin_interfaces__msg__Time *output) {
  if (!input || !output) {
    return false;
  }
  output->sec = input->sec;
  output->nanosec = input->nanosec;
  return true;
}

COMPAT_MESSAGE_CREATE_FUNCTIONS(builtin_interfaces__msg__Time, PUBLIC)
COMPAT_MESSAGE_SEQUENCE_FUNCTIONS(builtin_interfaces__msg__Time, PUBLIC)
