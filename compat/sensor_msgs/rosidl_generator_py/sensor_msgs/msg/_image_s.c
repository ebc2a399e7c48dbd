// Conversion of sensor_msgs/Image between sensor_msgs.msg.Image objects and
// the C structure; the header goes through the Header conversion. The pixel
// bytes cross in one block copy each way through the buffer protocol. The
// caller holds the interpreter lock; a failure leaves a Python exception set.
#include "py_fields.h"

#include <stdint.h>
#include <string.h>

#include "rcutils/allocator.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/visibility_control.h"
#include "sensor_msgs/msg/detail/image__struct.h"

ROSIDL_GENERATOR_C_IMPORT bool std_msgs__msg__header__convert_from_py(PyObject *_pymsg,
                                                                      void *_ros_message);
ROSIDL_GENERATOR_C_IMPORT PyObject *std_msgs__msg__header__convert_to_py(void *raw_ros_message);

// Copies the bytes of view into the C sequence, reusing its storage when it
// is large enough.
static bool store_bytes(const Py_buffer *view, rosidl_runtime_c__uint8__Sequence *out) {
  size_t size = (size_t)view->len;
  if (size > out->capacity) {
    rcutils_allocator_t allocator = rcutils_get_default_allocator();
    uint8_t *data = allocator.allocate(size, allocator.state);
    if (!data) {
      PyErr_NoMemory();
      return false;
    }
    rosidl_runtime_c__uint8__Sequence__fini(out);
    out->data = data;
    out->capacity = size;
  }
  if (size > 0) {
    memcpy(out->data, view->buf, size);
  }
  out->size = size;
  return true;
}

// Reads obj.data: any contiguous buffer of 1-byte items is copied as it is;
// anything else must convert with bytes() (a sequence of ints in [0, 255]).
static bool get_data(PyObject *obj, rosidl_runtime_c__uint8__Sequence *out) {
  PyObject *value = PyObject_GetAttrString(obj, "data");
  if (!value) {
    return false;
  }
  if (!PyObject_CheckBuffer(value)) {
    PyObject *bytes = PyBytes_FromObject(value);
    Py_DECREF(value);
    if (!bytes) {
      return false;
    }
    value = bytes;
  }
  Py_buffer view;
  if (PyObject_GetBuffer(value, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
    Py_DECREF(value);
    return false;
  }
  bool ok = false;
  if (view.itemsize != 1) {
    PyErr_Format(PyExc_TypeError, "Image.data must hold bytes, not items of %zd bytes",
                 view.itemsize);
  } else {
    ok = store_bytes(&view, out);
  }
  PyBuffer_Release(&view);
  Py_DECREF(value);
  return ok;
}

// Sets obj.data to an array('B') holding a copy of the C bytes.
static bool set_data(PyObject *obj, const rosidl_runtime_c__uint8__Sequence *data) {
  PyObject *array_module = py_fields_import("array");
  if (!array_module) {
    return false;
  }
  PyObject *array = PyObject_CallMethod(array_module, "array", "s", "B");
  Py_DECREF(array_module);
  if (!array) {
    return false;
  }
  if (data->size > 0) {
    PyObject *view =
        PyMemoryView_FromMemory((char *)data->data, (Py_ssize_t)data->size, PyBUF_READ);
    PyObject *rc = view ? PyObject_CallMethod(array, "frombytes", "O", view) : NULL;
    Py_XDECREF(view);
    if (!rc) {
      Py_DECREF(array);
      return false;
    }
    Py_DECREF(rc);
  }
  return py_fields_set(obj, "data", array);
}

ROSIDL_GENERATOR_C_EXPORT
bool sensor_msgs__msg__image__convert_from_py(PyObject *_pymsg, void *_ros_message) {
  sensor_msgs__msg__Image *ros_message = _ros_message;
  PyObject *header = PyObject_GetAttrString(_pymsg, "header");
  if (!header) {
    return false;
  }
  bool ok = std_msgs__msg__header__convert_from_py(header, &ros_message->header);
  Py_DECREF(header);
  long long height = 0;
  long long width = 0;
  long long is_bigendian = 0;
  long long step = 0;
  if (!ok || !py_fields_get_int(_pymsg, "height", 0, UINT32_MAX, &height) ||
      !py_fields_get_int(_pymsg, "width", 0, UINT32_MAX, &width) ||
      !py_fields_get_string(_pymsg, "encoding", &ros_message->encoding) ||
      !py_fields_get_int(_pymsg, "is_bigendian", 0, UINT8_MAX, &is_bigendian) ||
      !py_fields_get_int(_pymsg, "step", 0, UINT32_MAX, &step) ||
      !get_data(_pymsg, &ros_message->data)) {
    return false;
  }
  ros_message->height = (uint32_t)height;
  ros_message->width = (uint32_t)width;
  ros_message->is_bigendian = (uint8_t)is_bigendian;
  ros_message->step = (uint32_t)step;
  return true;
}

ROSIDL_GENERATOR_C_EXPORT
PyObject *sensor_msgs__msg__image__convert_to_py(void *raw_ros_message) {
  sensor_msgs__msg__Image *ros_message = raw_ros_message;
  PyObject *obj = py_fields_new_message("sensor_msgs.msg._image", "Image");
  if (!obj) {
    return NULL;
  }
  if (!py_fields_set(obj, "header", std_msgs__msg__header__convert_to_py(&ros_message->header)) ||
      !py_fields_set_int(obj, "height", ros_message->height) ||
      !py_fields_set_int(obj, "width", ros_message->width) ||
      !py_fields_set_string(obj, "encoding", &ros_message->encoding) ||
      !py_fields_set_int(obj, "is_bigendian", ros_message->is_bigendian) ||
      !py_fields_set_int(obj, "step", ros_message->step) || !set_data(obj, &ros_message->data)) {
    Py_DECREF(obj);
    return NULL;
  }
  return obj;
}
