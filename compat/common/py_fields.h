// Field conversions shared by the Python conversions of the stand-in
// messages: integer fields with a range check, strings, nested message
// objects. Every helper leaves a Python exception set when it fails and
// takes or releases no reference of the caller's.
#ifndef COMPAT__PY_FIELDS_H_
#define COMPAT__PY_FIELDS_H_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stdbool.h>
#include <string.h>

#include "rosidl_runtime_c/string.h"
#include "rosidl_runtime_c/string_functions.h"

// Reads obj.<field>, an int in [low, high], into *out.
static inline bool py_fields_get_int(PyObject *obj, const char *field, long long low,
                                     long long high, long long *out) {
  PyObject *value = PyObject_GetAttrString(obj, field);
  if (!value) {
    return false;
  }
  if (!PyLong_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s.%s must be an int, not %s", Py_TYPE(obj)->tp_name, field,
                 Py_TYPE(value)->tp_name);
    Py_DECREF(value);
    return false;
  }
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
  Py_DECREF(value);
  if (v == -1 && PyErr_Occurred()) {
    return false;
  }
  if (overflow || v < low || v > high) {
    PyErr_Format(PyExc_ValueError, "%s.%s must be in [%lld, %lld]", Py_TYPE(obj)->tp_name, field,
                 low, high);
    return false;
  }
  *out = v;
  return true;
}

// Reads obj.<field>, a str, into the C string *out as UTF-8. A str holding
// a NUL is refused with ValueError: the C string (and the wire) would end
// there and lose the rest.
static inline bool py_fields_get_string(PyObject *obj, const char *field,
                                        rosidl_runtime_c__String *out) {
  PyObject *value = PyObject_GetAttrString(obj, field);
  if (!value) {
    return false;
  }
  bool ok = false;
  if (!PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s.%s must be a str, not %s", Py_TYPE(obj)->tp_name, field,
                 Py_TYPE(value)->tp_name);
  } else {
    Py_ssize_t size = 0;
    const char *chars = PyUnicode_AsUTF8AndSize(value, &size);
    if (chars && memchr(chars, '\0', (size_t)size)) {
      PyErr_Format(PyExc_ValueError, "%s.%s must not contain a NUL character",
                   Py_TYPE(obj)->tp_name, field);
    } else if (chars) {
      ok = rosidl_runtime_c__String__assignn(out, chars, (size_t)size);
      if (!ok) {
        PyErr_NoMemory();
      }
    }
  }
  Py_DECREF(value);
  return ok;
}

// Sets obj.<field> to value and releases value; a NULL value (a failed
// conversion) fails the call with its exception.
static inline bool py_fields_set(PyObject *obj, const char *field, PyObject *value) {
  if (!value) {
    return false;
  }
  int rc = PyObject_SetAttrString(obj, field, value);
  Py_DECREF(value);
  return rc == 0;
}

static inline bool py_fields_set_int(PyObject *obj, const char *field, long long value) {
  return py_fields_set(obj, field, PyLong_FromLongLong(value));
}

// Sets obj.<field> to the C string decoded as UTF-8 (invalid UTF-8 fails).
static inline bool py_fields_set_string(PyObject *obj, const char *field,
                                        const rosidl_runtime_c__String *value) {
  const char *chars = value->data ? value->data : "";
  return py_fields_set(obj, field, PyUnicode_DecodeUTF8(chars, (Py_ssize_t)value->size, NULL));
}

// The module of that name, a new reference: from sys.modules when it is
// there (much cheaper than the full import protocol), else imported.
static inline PyObject *py_fields_import(const char *name) {
  PyObject *key = PyUnicode_FromString(name);
  if (!key) {
    return NULL;
  }
  PyObject *module = PyImport_GetModule(key);
  Py_DECREF(key);
  if (module || PyErr_Occurred()) {
    return module;
  }
  return PyImport_ImportModule(name);
}

// A new instance of module.class_name, made with no arguments.
static inline PyObject *py_fields_new_message(const char *module, const char *class_name) {
  PyObject *mod = py_fields_import(module);
  if (!mod) {
    return NULL;
  }
  PyObject *cls = PyObject_GetAttrString(mod, class_name);
  Py_DECREF(mod);
  if (!cls) {
    return NULL;
  }
  PyObject *obj = PyObject_CallObject(cls, NULL);
  Py_DECREF(cls);
  return obj;
}

#endif  // COMPAT__PY_FIELDS_H_
