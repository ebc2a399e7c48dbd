// The Python conversions of builtin_interfaces/msg/Time
// (libbuiltin_interfaces__rosidl_generator_py). The caller holds the interpreter lock and
// owns the C message; a false or NULL result leaves a Python exception set.
#ifndef BUILTIN_INTERFACES__MSG___TIME_S_H_
#define BUILTIN_INTERFACES__MSG___TIME_S_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stdbool.h>

#include "rosidl_runtime_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills the C message (a builtin_interfaces__msg__Time) from the object.
ROSIDL_GENERATOR_C_EXPORT bool builtin_interfaces__msg__time__convert_from_py(PyObject *_pymsg,
                                                                              void *_ros_message);
// A new builtin_interfaces.msg.Time holding the C message's values.
ROSIDL_GENERATOR_C_EXPORT PyObject *builtin_interfaces__msg__time__convert_to_py(
    void *raw_ros_message);

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG___TIME_S_H_
