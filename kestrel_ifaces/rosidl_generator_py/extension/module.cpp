// The extension module kestrel_ifaces.kestrel_ifaces_s__rosidl_typesupport_c.
//
// For each Camera message it exposes, as capsules (unnamed, as the ROS 2
// Python client reads them), the C data model's create and destroy functions,
// the two Python conversions and the message's C type-support dispatch
// handle; the service's dispatch handle as `type_support_camera`; and the
// functions serialize(msg) and deserialize(data, cls), which go straight
// between the Python objects and CDR bytes (cdr_codec).
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <cstdio>

#include "cdr_codec.hpp"
#include "kestrel_ifaces/srv/_camera_s.h"
#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__type_support.h"

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

// What the module offers of one message type.
struct MessageKind {
  const char *class_name;  // class in kestrel_ifaces.srv._camera
  void *(*create)();       // C data model: a new initialised message, or NULL
  void (*destroy)(void *);
  bool (*from_py)(PyObject *, void *);
  PyObject *(*to_py)(void *);
  const rosidl_message_type_support_t *(*type_support)();  // the C dispatch handle
  PyObject *(*encode)(PyObject *);
  PyObject *(*decode)(const uint8_t *, size_t, bool, size_t *);
};

const MessageKind request_kind = {
    "Camera_Request",
    create_request,
    destroy_request,
    kestrel_ifaces__srv__camera__request__convert_from_py,
    kestrel_ifaces__srv__camera__request__convert_to_py,
    rosidl_typesupport_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request,
    encode_request,
    decode_request,
};

const MessageKind response_kind = {
    "Camera_Response",
    create_response,
    destroy_response,
    kestrel_ifaces__srv__camera__response__convert_from_py,
    kestrel_ifaces__srv__camera__response__convert_to_py,
    rosidl_typesupport_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response,
    encode_response,
    decode_response,
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
  return kind ? kind->encode(msg) : nullptr;
}

constexpr size_t payload_alignment = 4;  // transports may pad the payload to this

// The message of kind's class encoded in the bytes-like data. Either byte
// order is read; up to 3 padding bytes may follow the message when they
// bring the length to a multiple of 4. ValueError for anything else that is
// not a valid encoding.
PyObject *deserialize_message(const MessageKind &kind, PyObject *data) {
  Py_buffer view;
  if (PyObject_GetBuffer(data, &view, PyBUF_SIMPLE) != 0) {
    return nullptr;
  }
  const auto *bytes = static_cast<const uint8_t *>(view.buf);
  const size_t size = static_cast<size_t>(view.len);
  PyObject *result = nullptr;
  size_t used = 0;
  if (size < cdr_encapsulation_size) {
    PyErr_Format(PyExc_ValueError, "CDR data of %zu bytes has no 4-byte encapsulation header",
                 size);
  } else if (bytes[0] != 0 || bytes[1] > 1) {
    PyErr_Format(PyExc_ValueError,
                 "unsupported CDR encapsulation %02x %02x (expected 00 00 or 00 01, plain CDR)",
                 bytes[0], bytes[1]);
  } else {
    result = kind.decode(bytes + cdr_encapsulation_size, size - cdr_encapsulation_size,
                         bytes[1] == 0, &used);
  }
  const size_t rest = result ? size - cdr_encapsulation_size - used : 0;
  if (rest > 0 && (rest >= payload_alignment || size % payload_alignment != 0)) {
    Py_CLEAR(result);
    PyErr_Format(PyExc_ValueError, "%zu bytes follow the CDR data of a %s", rest, kind.class_name);
  }
  PyBuffer_Release(&view);
  return result;
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
     "header 00 01 00 00) of a Camera_Request or Camera_Response; ValueError for a string "
     "holding a NUL or an encoding past 4 GiB."},
    {"deserialize", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(py_deserialize)),
     METH_FASTCALL,
     "deserialize(data, cls) -> msg\n\nThe message of class cls (Camera_Request or "
     "Camera_Response) encoded in the bytes-like data; ValueError when data is not a valid "
     "encoding of it."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "kestrel_ifaces_s__rosidl_typesupport_c",
    "C entry points and CDR serialization of the kestrel_ifaces Camera service.",
    -1,
    methods,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
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
          rosidl_typesupport_c__get_service_type_support_handle__kestrel_ifaces__srv__Camera())) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
