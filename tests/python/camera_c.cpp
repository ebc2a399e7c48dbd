// Test-only extension module _camera_c: builds, reads and CDR-encodes C
// Camera messages directly with the C data model, the sensor_msgs C
// functions and the CDR type support, without the Python conversions, so
// that tests can check those against an independent path. Messages are
// passed by address (an int), as ctypes hands them around.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstring>
#include <vector>

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace {

template <typename T>
T *message_at(PyObject *address) {
  void *p = PyLong_AsVoidPtr(address);
  return p ? static_cast<T *>(p) : nullptr;
}

// fill_response(address, height, width, encoding, is_bigendian, step, data,
//               frame_id, sec, nanosec): writes every field of the C response.
PyObject *fill_response(PyObject *, PyObject *args) {
  PyObject *address;
  unsigned int height, width, step, nanosec;
  unsigned char is_bigendian;
  const char *encoding, *frame_id;
  Py_buffer data;
  int sec;
  if (!PyArg_ParseTuple(args, "OIIybIy*yiI", &address, &height, &width, &encoding, &is_bigendian,
                        &step, &data, &frame_id, &sec, &nanosec)) {
    return nullptr;
  }
  auto *msg = message_at<kestrel_ifaces__srv__Camera_Response>(address);
  bool ok = msg != nullptr;
  if (ok) {
    sensor_msgs__msg__Image &image = msg->image;
    image.height = height;
    image.width = width;
    image.is_bigendian = is_bigendian;
    image.step = step;
    image.header.stamp.sec = sec;
    image.header.stamp.nanosec = nanosec;
    rosidl_runtime_c__uint8__Sequence__fini(&image.data);
    ok = rosidl_runtime_c__String__assign(&image.encoding, encoding) &&
         rosidl_runtime_c__String__assign(&image.header.frame_id, frame_id) &&
         rosidl_runtime_c__uint8__Sequence__init(&image.data, static_cast<size_t>(data.len));
    if (ok && data.len > 0) {
      std::memcpy(image.data.data, data.buf, static_cast<size_t>(data.len));
    }
    if (!ok) {
      PyErr_NoMemory();
    }
  }
  PyBuffer_Release(&data);
  if (!ok) {
    return nullptr;
  }
  Py_RETURN_NONE;
}

// response_fields(address) -> dict of the C response's image fields.
PyObject *response_fields(PyObject *, PyObject *address) {
  auto *msg = message_at<kestrel_ifaces__srv__Camera_Response>(address);
  if (!msg) {
    return nullptr;
  }
  const sensor_msgs__msg__Image &image = msg->image;
  return Py_BuildValue(
      "{s:I,s:I,s:y#,s:B,s:I,s:y#,s:y#,s:i,s:I}", "height", image.height, "width", image.width,
      "encoding", image.encoding.data, static_cast<Py_ssize_t>(image.encoding.size), "is_bigendian",
      image.is_bigendian, "step", image.step, "data",
      reinterpret_cast<const char *>(image.data.data), static_cast<Py_ssize_t>(image.data.size),
      "frame_id", image.header.frame_id.data, static_cast<Py_ssize_t>(image.header.frame_id.size),
      "sec", image.header.stamp.sec, "nanosec", image.header.stamp.nanosec);
}

// cdr(kind, address) -> bytes: the C message ("request" or "response")
// encoded by the CDR type support into a little-endian stream with the
// 4-byte encapsulation header, in a buffer of the type support's exact size.
PyObject *cdr(PyObject *, PyObject *args) {
  const char *kind;
  PyObject *address;
  if (!PyArg_ParseTuple(args, "sO", &kind, &address)) {
    return nullptr;
  }
  const rosidl_message_type_support_t *handle =
      std::strcmp(kind, "request") == 0
          ? rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request()
          : rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();
  const auto *callbacks = static_cast<const message_type_support_callbacks_t *>(handle->data);
  void *msg = PyLong_AsVoidPtr(address);
  if (!msg) {
    return nullptr;
  }
  // Zero-filled, so that the alignment bytes, which the stream skips, are 0.
  std::vector<char> storage(4 + callbacks->get_serialized_size(msg), 0);
  eprosima::fastcdr::FastBuffer buffer(storage.data(), storage.size());
  eprosima::fastcdr::Cdr stream(buffer, eprosima::fastcdr::Cdr::LITTLE_ENDIANNESS,
                                eprosima::fastcdr::Cdr::DDS_CDR);
  stream.serialize_encapsulation();
  if (!callbacks->cdr_serialize(msg, stream)) {
    PyErr_SetString(PyExc_RuntimeError, "cdr_serialize failed");
    return nullptr;
  }
  return PyBytes_FromStringAndSize(storage.data(),
                                   static_cast<Py_ssize_t>(stream.getSerializedDataLength()));
}

PyMethodDef methods[] = {
    {"fill_response", fill_response, METH_VARARGS, nullptr},
    {"response_fields", response_fields, METH_O, nullptr},
    {"cdr", cdr, METH_VARARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_camera_c", nullptr, -1, methods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__camera_c() {
  return PyModule_Create(&module_def);
}
