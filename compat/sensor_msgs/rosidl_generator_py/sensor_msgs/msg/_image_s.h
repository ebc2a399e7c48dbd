// The Python conversions of sensor_msgs/msg/Image
// (libsensor_msgs__rosidl_generator_py). The caller holds the interpreter lock and
// owns the C message; a false or NULL result leaves a Python exception set.
#ifndef SENSOR_MSGS__MSG___IMAGE_S_H_
#define SENSOR_MSGS__MSG___IMAGE_S_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stdbool.h>

#include "rosidl_runtime_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills the C message (a sensor_msgs__msg__Image) from the object.
ROSIDL_GENERATOR_C_EXPORT bool sensor_msgs__msg__image__convert_from_py(PyObject *_pymsg,
                                                                        void *_ros_message);
// A new sensor_msgs.msg.Image holding the C message's values.
ROSIDL_GENERATOR_C_EXPORT PyObject *sensor_msgs__msg__image__convert_to_py(void *raw_ros_message);

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG___IMAGE_S_H_
