// The extension module kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c.
//
// For each Camera message it exposes, as capsules (unnamed, as the ROS 2
// Python client reads them), the C data model's create and destroy functions,
// the two Python conversions and the CDR message type-support handle; the
// service handle as `type_support_camera`; and the functions serialize(msg)
// and deserialize(data, cls), which go through the C data model and the CDR
// type support.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdio>

#include "cdr_codec.hpp"
#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"

// The conversions, exported without a header of their own.
extern "C" {
bool kestrel_ifaces__srv__camera__request__convert_from_py(PyObject *_pymsg, void *_ros_message);
PyObject *kestrel_ifaces__srv__camera__request__convert_to_py(void *raw_ros_message);
bool kestrel_ifaces__srv__camera__response__convert_from_py(PyObject *_pymsg, void *_ros_message);
PyObject *kestrel_ifaces__srv__camera__response__convert_to_py(void *raw_ros_message);
}

namespace {

// The C data model's create and destroy, with the untyped signatures that
// callers of the capsules use.
void *create_request() {
  return kestrel_ifaces__srv__Camera_Request__create();
}
void destroy_request(void *msg) {
  kestrel_ifaces__srv__Camera_Request__destroy(
      static_cast<kestrel_ifaces__srv__Camera_Request *>(msg));
}
void *create_response() {
  return kestrel_ifaces__srv__Camera_Response__create();
}
void destroy_response(void *msg) {
  kestrel_ifaces__srv__Camera_Response__destroy(
      static_cast<kestrel_ifaces__srv__Camera_Response *>(msg));
}

// A request ends in its angle, written whole; a response in its image's
// pixels.
size_t request_tail(const void *) {
  return sizeof(int16_t);
}
size_t response_tail(const void *msg) {
  return static_cast<const kestrel_ifaces__srv__Camera_Response *>(msg)->image.data.size;
}

SpareMessage spare_request;
SpareMessage spare_response;

const MessageKind request_kind = {
    "Camera_Request",
    create_request,
    destroy_request,
    kestrel_ifaces__srv__camera__request__convert_from_py,
    kestrel_ifaces__srv__camera__request__convert_to_py,
    rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request,
    &spare_request,
    request_tail,
};

const MessageKind response_kind = {
    "Camera_Response",
    create_response,
    destroy_response,
    kestrel_ifaces__srv__camera__response__convert_from_py,
    kestrel_ifaces__srv__camera__response__convert_to_py,
    rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response,
    &spare_response,
    response_tail,
};

const MessageKind *const kinds[] = {&request_kind, &response_kind};

// The module kestrel_ifaces.srv._camera, imported when this module is and
// held for the interpreter's lifetime. The classes are looked up in it on
// every call, so a reloaded module's classes are the ones accepted.
PyObject *camera_module;

// The kind whose class is exactly `cls`; NULL with TypeError set otherwise.
// Subclasses are refused: the conversions require the class path of the
// message classes themselves.
const MessageKind *kind_of_class(PyObject *cls) {
  for (const MessageKind *kind : kinds) {
    PyObject *expected = PyObject_GetAttrString(camera_module, kind->class_name);
    if (!expected) {
      return nullptr;
    }
    const bool match = cls == expected;
    Py_DECREF(expected);
    if (match) {
      return kind;
    }
  }
  PyErr_Format(PyExc_TypeError,
               "expected kestrel_ifaces.srv.Camera_Request or Camera_Response, got %R", cls);
  return nullptr;
}

PyObject *py_serialize(PyObject *, PyObject *msg) {
  const MessageKind *kind = kind_of_class(reinterpret_cast<PyObject *>(Py_TYPE(msg)));
  return kind ? serialize_message(*kind, msg) : nullptr;
}

PyObject *py_deserialize(PyObject *, PyObject *const *args, Py_ssize_t nargs) {
  if (nargs != 2) {
    PyErr_Format(PyExc_TypeError, "deserialize() takes 2 arguments (data, cls), %zd given", nargs);
    return nullptr;
  }
  const MessageKind *kind = kind_of_class(args[1]);
  return kind ? deserialize_message(*kind, args[0]) : nullptr;
}

PyMethodDef methods[] = {
    {"serialize", py_serialize, METH_O,
     "serialize(msg) -> bytes\n\nCDR encoding (little-endian, with the 4-byte encapsulation "
     "header 00 01 00 00) of a Camera_Request or Camera_Response."},
    {"deserialize", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(py_deserialize)),
     METH_FASTCALL,
     "deserialize(data, cls) -> msg\n\nThe message of class cls (Camera_Request or "
     "Camera_Response) encoded in the bytes-like data; ValueError when data is not a valid "
     "encoding of it."},
    {nullptr, nullptr, 0, nullptr},
};

// Releases the messages kept for reuse when the module goes away.
void free_module(void *) {
  for (const MessageKind *kind : kinds) {
    if (kind->spare->msg) {
      kind->destroy(kind->spare->msg);
      kind->spare->msg = nullptr;
    }
  }
}

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "kestrel_ifaces_s__rosidl_typesupport_c",
    "C entry points and CDR serialization of the kestrel_ifaces Camera service.",
    -1,
    methods,
    nullptr,
    nullptr,
    nullptr,
    free_module,
};

// Adds an unnamed capsule holding `pointer` to the module under `name`.
bool add_capsule(PyObject *module, const char *name, const void *pointer) {
  PyObject *capsule = PyCapsule_New(const_cast<void *>(pointer), nullptr, nullptr);
  if (!capsule) {
    return false;
  }
  if (PyModule_AddObject(module, name, capsule) != 0) {
    Py_DECREF(capsule);
    return false;
  }
  return true;
}

template <typename Function>
const void *function_address(Function *function) {
  return reinterpret_cast<const void *>(function);
}

bool add_message_capsules(PyObject *module, const char *stem, const MessageKind &kind) {
  struct Entry {
    const char *prefix;
    const void *pointer;
  };
  const Entry entries[] = {
      {"create_", function_address(kind.create)},
      {"destroy_", function_address(kind.destroy)},
      {"convert_from_py_", function_address(kind.from_py)},
      {"convert_to_py_", function_address(kind.to_py)},
      {"type_support_", kind.type_support()},
  };
  for (const Entry &entry : entries) {
    char name[64];
    snprintf(name, sizeof name, "%s%s", entry.prefix, stem);
    if (!add_capsule(module, name, entry.pointer)) {
      return false;
    }
  }
  return true;
}

}  // namespace

PyMODINIT_FUNC PyInit_kestrel_ifaces_s__rosidl_typesupport_c() {
  if (!camera_module) {
    camera_module = PyImport_ImportModule("kestrel_ifaces.srv._camera");
    if (!camera_module) {
      return nullptr;
    }
  }
  PyObject *module = PyModule_Create(&module_def);
  if (!module) {
    return nullptr;
  }
  if (!add_message_capsules(module, "camera_request", request_kind) ||
      !add_message_capsules(module, "camera_response", response_kind) ||
      !add_capsule(
          module, "type_support_camera",
          rosidl_typesupport_fastrtps_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera())) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
