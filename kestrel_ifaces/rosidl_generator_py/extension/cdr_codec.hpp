// CDR serialization of Camera messages for Python: a Python message goes
// through its C conversion into a C message of the data model, which the
// CDR type support encodes, and back.
#ifndef KESTREL_IFACES_PY_CDR_CODEC_HPP_
#define KESTREL_IFACES_PY_CDR_CODEC_HPP_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "rosidl_runtime_c/message_type_support_struct.h"

// A C message kept for reuse between calls; NULL when none is free.
struct SpareMessage {
  void *msg;
};

// What the codec needs of one message type.
struct MessageKind {
  const char *class_name;  // class in kestrel_ifaces.srv._camera
  void *(*create)();       // C data model: a new initialised message, or NULL
  void (*destroy)(void *);
  bool (*from_py)(PyObject *, void *);
  PyObject *(*to_py)(void *);
  const rosidl_message_type_support_t *(*type_support)();  // the CDR (fastrtps C) handle
  SpareMessage *spare;                                     // the kind's message kept between calls
  // Bytes at the end of the encoding of a C message that the type support
  // writes as one block (an image's pixels): no alignment gap lies there.
  size_t (*written_tail)(const void *);
};

// The CDR encoding of msg, an instance of kind's class, as bytes: the
// encapsulation header 00 01 00 00 (plain CDR, little-endian), then the
// message. NULL with an exception set on failure.
PyObject *serialize_message(const MessageKind &kind, PyObject *msg);

// The message of kind's class encoded in the bytes-like data. Either byte
// order is read; up to 3 padding bytes may follow the message when they
// bring the length to a multiple of 4. ValueError for anything else that is
// not a valid encoding.
PyObject *deserialize_message(const MessageKind &kind, PyObject *data);

#endif  // KESTREL_IFACES_PY_CDR_CODEC_HPP_
