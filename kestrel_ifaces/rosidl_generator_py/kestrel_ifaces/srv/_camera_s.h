// The Python conversions of the Camera service's request and response
// (libkestrel_ifaces__rosidl_generator_py), with the signatures the ROS 2
// Python client calls them through. The caller holds the interpreter lock and
// owns the C message; a false or NULL result leaves a Python exception set.
#ifndef KESTREL_IFACES__SRV___CAMERA_S_H_
#define KESTREL_IFACES__SRV___CAMERA_S_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stdbool.h>

#include "rosidl_runtime_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// Fills the C message (a kestrel_ifaces__srv__Camera_Request) from the object.
ROSIDL_GENERATOR_C_EXPORT bool kestrel_ifaces__srv__camera__request__convert_from_py(
    PyObject *_pymsg, void *_ros_message);
// A new kestrel_ifaces.srv.Camera.Request holding the C message's values.
ROSIDL_GENERATOR_C_EXPORT PyObject *kestrel_ifaces__srv__camera__request__convert_to_py(
    void *raw_ros_message);
ROSIDL_GENERATOR_C_EXPORT bool kestrel_ifaces__srv__camera__response__convert_from_py(
    PyObject *_pymsg, void *_ros_message);
ROSIDL_GENERATOR_C_EXPORT PyObject *kestrel_ifaces__srv__camera__response__convert_to_py(
    void *raw_ros_message);

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV___CAMERA_S_H_
