// Conversion of std_msgs/Header between std_msgs.msg.Header objects and the C
// structure; the stamp goes through the Time conversion. The caller holds the
// interpreter lock; a failure leaves a Python exception set.
#include "py_fields.h"

#include "std_msgs/msg/detail/header__struct.h"
#include "rosidl_runtime_c/visibility_control.h"

ROSIDL_GENERATOR_C_IMPORT bool builtin_interfaces__msg__time__convert_from_py(PyObject *_pymsg,
                                                                              void *_ros_message);
ROSIDL_GENERATOR_C_IMPORT PyObject *builtin_interfaces__msg__time__convert_to_py(
    void *raw_ros_message);

ROSIDL_GENERATOR_C_EXPORT
bool std_msgs__msg__header__convert_from_py(PyObject *_pymsg, void *_ros_message) {
  std_msgs__msg__Header *ros_message = _ros_message;
  PyObject *stamp = PyObject_GetAttrString(_pymsg, "stamp");
  if (!stamp) {
    return false;
  }
  bool ok = builtin_interfaces__msg__time__convert_from_py(stamp, &ros_message->stamp);
  Py_DECREF(stamp);
  return ok && py_fields_get_string(_pymsg, "frame_id", &ros_message->frame_id);
}

ROSIDL_GENERATOR_C_EXPORT
PyObject *std_msgs__msg__header__convert_to_py(void *raw_ros_message) {
  std_msgs__msg__Header *ros_message = raw_ros_message;
  PyObject *obj = py_fields_new_message("std_msgs.msg._header", "Header");
  if (!obj) {
    return NULL;
  }
  if (!py_fields_set(obj, "stamp",
                     builtin_interfaces__msg__time__convert_to_py(&ros_message->stamp)) ||
      !py_fields_set_string(obj, "frame_id", &ros_message->frame_id)) {
    Py_DECREF(obj);
    return NULL;
  }
  return obj;
}
