// Conversion of builtin_interfaces/Time between builtin_interfaces.msg.Time
// objects and the C structure. The caller holds the interpreter lock; a
// failure leaves a Python exception set.
#include "py_fields.h"

#include <stdint.h>

#include "builtin_interfaces/msg/detail/time__struct.h"
#include "rosidl_runtime_c/visibility_control.h"

ROSIDL_GENERATOR_C_EXPORT
bool builtin_interfaces__msg__time__convert_from_py(PyObject *_pymsg, void *_ros_message) {
  builtin_interfaces__msg__Time *ros_message = _ros_message;
  long long sec = 0;
  long long nanosec = 0;
  if (!py_fields_get_int(_pymsg, "sec", INT32_MIN, INT32_MAX, &sec) ||
      !py_fields_get_int(_pymsg, "nanosec", 0, UINT32_MAX, &nanosec)) {
    return false;
  }
  ros_message->sec = (int32_t)sec;
  ros_message->nanosec = (uint32_t)nanosec;
  return true;
}

ROSIDL_GENERATOR_C_EXPORT
PyObject *builtin_interfaces__msg__time__convert_to_py(void *raw_ros_message) {
  const builtin_interfaces__msg__Time *ros_message = raw_ros_message;
  PyObject *obj = py_fields_new_message("builtin_interfaces.msg._time", "Time");
  if (!obj) {
    return NULL;
  }
  if (!py_fields_set_int(obj, "sec", ros_message->sec) ||
      !py_fields_set_int(obj, "nanosec", ros_message->nanosec)) {
    Py_DECREF(obj);
    return NULL;
  }
  return obj;
}
