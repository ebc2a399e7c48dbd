// Conversion of the Camera service's request and response between Python
// objects of kestrel_ifaces.srv._camera and the C message structures.
//
// The caller holds the interpreter lock and owns the C message in both
// directions. A false or NULL result leaves the Python exception of the
// failed call set.
#include "kestrel_ifaces/srv/_camera_s.h"

#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "rosidl_runtime_c/visibility_control.h"

// The Image's own conversions, from the sensor_msgs package, which installs
// no header for them (on a ROS 2 install as here), so they are declared here.
ROSIDL_GENERATOR_C_IMPORT bool sensor_msgs__msg__image__convert_from_py(PyObject *_pymsg,
                                                                        void *_ros_message);
ROSIDL_GENERATOR_C_IMPORT PyObject *sensor_msgs__msg__image__convert_to_py(void *raw_ros_message);

// Preconditions that the callers meet. A debug build stops on a violation
// with an assertion report naming this unit, the line and the exported
// function (passed down to the helpers as `func`); with assertions compiled
// out the test still runs, and the call fails with a Python exception
// instead of going on with a wrong object.
#ifdef NDEBUG
#define PRECONDITION_FAILS(cond, func) ((void)(func), !(cond))
#else
#define PRECONDITION_FAILS(cond, func) \
  ((cond) ? false : (precondition_failed(#cond, __LINE__, func), false))

static void precondition_failed(const char *expression, int line, const char *func) {
  fprintf(stderr, "%s:%d: %s: Assertion `%s' failed.\n", __FILE__, line, func, expression);
  abort();
}
#endif

static const char camera_module[] = "kestrel_ifaces.srv._camera";

// The module of that name, a new reference: from sys.modules when it is
// there, else imported.
static PyObject *import_module(const char *name) {
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

// Characters of a class's __name__ or __module__, read in place. The string
// must be a ready str; a name that is not 1 byte per character cannot match
// the expected ASCII name, so it is refused as well.
static const char *name_chars(PyObject *name, const char *func) {
  if (PRECONDITION_FAILS(PyUnicode_Check(name) && PyUnicode_IS_READY(name), func)) {
    PyErr_SetString(PyExc_TypeError, "class __name__ and __module__ must be str");
    return NULL;
  }
  if (PyUnicode_KIND(name) != PyUnicode_1BYTE_KIND) {
    return "";
  }
  return (const char *)PyUnicode_1BYTE_DATA(name);
}

// Formats "<module>.<name>" of the object's class into dest (cut to
// dest_size - 1 characters) and requires its first `compared` characters to
// equal the expected full name. The class and its two name strings are held
// until the comparison is done, so the characters read in place stay alive
// even if the class was made only for this lookup.
static bool check_class(PyObject *pymsg, const char *expected, size_t compared, char *dest,
                        size_t dest_size, const char *func) {
  PyObject *cls = PyObject_GetAttrString(pymsg, "__class__");
  if (!cls) {
    return false;
  }
  bool ok = false;
  PyObject *module = NULL;
  PyObject *name = PyObject_GetAttrString(cls, "__name__");
  const char *class_name = name ? name_chars(name, func) : NULL;
  if (class_name) {
    module = PyObject_GetAttrString(cls, "__module__");
  }
  const char *module_name = module ? name_chars(module, func) : NULL;
  if (class_name && module_name) {
    snprintf(dest, dest_size, "%s.%s", module_name, class_name);
    ok = !PRECONDITION_FAILS(strncmp(expected, dest, compared) == 0, func);
    if (!ok) {
      PyErr_Format(PyExc_TypeError, "expected a %s, got a %s", expected, dest);
    }
  }
  Py_XDECREF(module);
  Py_XDECREF(name);
  Py_DECREF(cls);
  return ok;
}

// Imports the Camera module and calls the named class with no arguments.
// A module already in sys.modules is taken from there: the full import
// protocol costs about as much as the rest of a request's conversion.
static PyObject *new_camera_object(const char *class_name, const char *func) {
  PyObject *module = import_module(camera_module);
  if (PRECONDITION_FAILS(module, func)) {
    return NULL;
  }
  PyObject *cls = PyObject_GetAttrString(module, class_name);
  Py_DECREF(module);
  if (PRECONDITION_FAILS(cls, func)) {
    return NULL;
  }
  PyObject *obj = PyObject_CallObject(cls, NULL);
  Py_DECREF(cls);
  return obj;
}

// Sets obj.<field> to value and releases value; on failure also releases obj.
static PyObject *set_field(PyObject *obj, const char *field, PyObject *value) {
  int rc = PyObject_SetAttrString(obj, field, value);
  Py_DECREF(value);
  if (rc) {
    Py_DECREF(obj);
    return NULL;
  }
  return obj;
}

ROSIDL_GENERATOR_C_EXPORT
bool kestrel_ifaces__srv__camera__request__convert_from_py(PyObject *_pymsg, void *_ros_message) {
  static const char expected[] = "kestrel_ifaces.srv._camera.Camera_Request";
  char full_classname_dest[sizeof expected];
  if (!check_class(_pymsg, expected, sizeof expected - 1, full_classname_dest,
                   sizeof full_classname_dest, __func__)) {
    return false;
  }
  kestrel_ifaces__srv__Camera_Request *ros_message = _ros_message;

  PyObject *field = PyObject_GetAttrString(_pymsg, "angle");
  if (!field) {
    return false;
  }
  if (PRECONDITION_FAILS(PyLong_Check(field), __func__)) {
    PyErr_Format(PyExc_TypeError, "Camera_Request.angle must be an int, not %s",
                 Py_TYPE(field)->tp_name);
    Py_DECREF(field);
    return false;
  }
  // Any int in the range of a C long is taken modulo 2^16; one beyond it
  // fails the call rather than storing the -1 error value.
  long value = PyLong_AsLong(field);
  Py_DECREF(field);
  if (value == -1 && PyErr_Occurred()) {
    return false;
  }
  ros_message->angle = (int16_t)value;
  return true;
}

ROSIDL_GENERATOR_C_EXPORT
PyObject *kestrel_ifaces__srv__camera__request__convert_to_py(void *raw_ros_message) {
  const kestrel_ifaces__srv__Camera_Request *ros_message = raw_ros_message;
  PyObject *obj = new_camera_object("Camera_Request", __func__);
  if (!obj) {
    return NULL;
  }
  PyObject *angle = PyLong_FromLong(ros_message->angle);
  if (!angle) {
    Py_DECREF(obj);
    return NULL;
  }
  return set_field(obj, "angle", angle);
}

ROSIDL_GENERATOR_C_EXPORT
bool kestrel_ifaces__srv__camera__response__convert_from_py(PyObject *_pymsg, void *_ros_message) {
  static const char expected[] = "kestrel_ifaces.srv._camera.Camera_Response";
  char full_classname_dest[sizeof expected];
  if (!check_class(_pymsg, expected, sizeof expected - 1, full_classname_dest,
                   sizeof full_classname_dest, __func__)) {
    return false;
  }
  kestrel_ifaces__srv__Camera_Response *ros_message = _ros_message;

  PyObject *field = PyObject_GetAttrString(_pymsg, "image");
  if (!field) {
    return false;
  }
  bool ok = sensor_msgs__msg__image__convert_from_py(field, &ros_message->image);
  Py_DECREF(field);
  return ok;
}

ROSIDL_GENERATOR_C_EXPORT
PyObject *kestrel_ifaces__srv__camera__response__convert_to_py(void *raw_ros_message) {
  kestrel_ifaces__srv__Camera_Response *ros_message = raw_ros_message;
  PyObject *obj = new_camera_object("Camera_Response", __func__);
  if (!obj) {
    return NULL;
  }
  PyObject *image = sensor_msgs__msg__image__convert_to_py(&ros_message->image);
  if (!image) {
    Py_DECREF(obj);
    return NULL;
  }
  return set_field(obj, "image", image);
}
