// The Python conversions of std_msgs/msg/Header
// (libstd_msgs__rosidl_generator_py). The caller holds the interpreter lock and
// owns the C message; a false or NULL result leaves a Python exception set.
#ifndef STD_MSGS__MSG___HEADER_S_H_
#define STD_MSGS__MSG___HEADER_S_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stdbool.h>

#include "rosidl_runtime_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills the C message (a std_msgs__msg__Header) from the object.
ROSIDL_GENERATOR_C_EXPORT bool std_msgs__msg__header__convert_from_py(PyObject *_pymsg,
                                                                      void *_ros_message);
// A new std_msgs.msg.Header holding the C message's values.
ROSIDL_GENERATOR_C_EXPORT PyObject *std_msgs__msg__header__convert_to_py(void *raw_ros_message);

#ifdef __cplusplus
}
#endif

#endif  // STD_MSGS__MSG___HEADER_S_H_
