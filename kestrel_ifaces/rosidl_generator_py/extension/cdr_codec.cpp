#include "cdr_codec.hpp"

#include <cstring>
#include <exception>
#include <new>

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/Exception.h>
#include <fastcdr/exceptions/NotEnoughMemoryException.h>

#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace {

constexpr size_t encapsulation_size = 4;  // bytes: 00, kind (00 BE / 01 LE), 2 option bytes
constexpr size_t payload_alignment = 4;   // transports may pad the payload to this

const message_type_support_callbacks_t &callbacks(const MessageKind &kind) {
  return *static_cast<const message_type_support_callbacks_t *>(kind.type_support()->data);
}

// The C message a call works on. Each kind keeps one message between calls
// (kind.spare) so that repeated calls reuse its storage, above all an
// image's pixel buffer, instead of allocating and releasing it each time. A
// call made while that message is in use (from a property getter, say) gets
// a message of its own. Calls run under the interpreter lock, so the
// hand-over needs no other lock. Reuse is sound because both the from-Python
// conversion and the deserializer write every field of the message.
struct CMessage {
  const MessageKind &kind;
  void *msg;
  explicit CMessage(const MessageKind &k) : kind(k), msg(k.spare->msg) {
    if (msg) {
      k.spare->msg = nullptr;
    } else {
      msg = k.create();
    }
  }
  ~CMessage() {
    if (!msg) {
      return;
    }
    if (kind.spare->msg) {
      kind.destroy(msg);
    } else {
      kind.spare->msg = msg;
    }
  }
  CMessage(const CMessage &) = delete;
  CMessage &operator=(const CMessage &) = delete;
};

// Sets the Python exception for an exception thrown while encoding or
// decoding; `decoding` tells whether the input bytes are to blame.
void set_error_from_current_exception(const MessageKind &kind, bool decoding) {
  try {
    throw;
  } catch (const eprosima::fastcdr::exception::NotEnoughMemoryException &) {
    if (decoding) {
      PyErr_Format(PyExc_ValueError, "CDR data of a %s is truncated", kind.class_name);
    } else {
      PyErr_Format(PyExc_RuntimeError, "%s needs more CDR bytes than its computed size",
                   kind.class_name);
    }
  } catch (const eprosima::fastcdr::exception::Exception &error) {
    PyErr_Format(decoding ? PyExc_ValueError : PyExc_RuntimeError, "invalid CDR data of a %s: %s",
                 kind.class_name, error.what());
  } catch (const std::bad_alloc &) {
    PyErr_NoMemory();
  } catch (const std::exception &error) {
    PyErr_Format(PyExc_RuntimeError, "CDR %s of a %s failed: %s",
                 decoding ? "decoding" : "encoding", kind.class_name, error.what());
  }
}

}  // namespace

PyObject *serialize_message(const MessageKind &kind, PyObject *msg) {
  CMessage c(kind);
  if (!c.msg) {
    return PyErr_NoMemory();
  }
  if (!kind.from_py(msg, c.msg)) {
    return nullptr;
  }
  const message_type_support_callbacks_t &cb = callbacks(kind);
  const size_t size = encapsulation_size + cb.get_serialized_size(c.msg);
  PyObject *bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
  if (!bytes) {
    return nullptr;
  }
  // Encoded straight into the bytes object's storage, so no copy follows.
  // The stream skips alignment bytes without writing them; zeroing what lies
  // before the written tail first keeps the output deterministic and free of
  // stale heap contents.
  std::memset(PyBytes_AS_STRING(bytes), 0, size - kind.written_tail(c.msg));
  eprosima::fastcdr::FastBuffer buffer(PyBytes_AS_STRING(bytes), size);
  eprosima::fastcdr::Cdr cdr(buffer, eprosima::fastcdr::Cdr::LITTLE_ENDIANNESS,
                             eprosima::fastcdr::Cdr::DDS_CDR);
  bool ok = false;
  try {
    cdr.serialize_encapsulation();
    ok = cb.cdr_serialize(c.msg, cdr);
    if (!ok) {
      PyErr_Format(PyExc_RuntimeError, "the CDR type support refused the %s", kind.class_name);
    } else if (cdr.getSerializedDataLength() != size) {
      ok = false;
      PyErr_Format(PyExc_RuntimeError, "%s took %zu CDR bytes, not its computed size %zu",
                   kind.class_name, cdr.getSerializedDataLength(), size);
    }
  } catch (...) {
    set_error_from_current_exception(kind, false);
  }
  if (!ok) {
    Py_DECREF(bytes);
    return nullptr;
  }
  return bytes;
}

PyObject *deserialize_message(const MessageKind &kind, PyObject *data) {
  Py_buffer view;
  if (PyObject_GetBuffer(data, &view, PyBUF_SIMPLE) != 0) {
    return nullptr;
  }
  const auto *bytes = static_cast<const unsigned char *>(view.buf);
  const size_t size = static_cast<size_t>(view.len);
  PyObject *result = nullptr;
  if (size < encapsulation_size) {
    PyErr_Format(PyExc_ValueError, "CDR data of %zu bytes has no 4-byte encapsulation header",
                 size);
  } else if (bytes[0] != 0 || bytes[1] > 1) {
    PyErr_Format(PyExc_ValueError,
                 "unsupported CDR encapsulation %02x %02x (expected 00 00 or 00 01, plain CDR)",
                 bytes[0], bytes[1]);
  } else {
    CMessage c(kind);
    if (!c.msg) {
      PyErr_NoMemory();
    } else {
      // Fast-CDR only reads through this pointer when deserializing.
      eprosima::fastcdr::FastBuffer buffer(static_cast<char *>(view.buf), size);
      eprosima::fastcdr::Cdr cdr(buffer, eprosima::fastcdr::Cdr::DEFAULT_ENDIAN,
                                 eprosima::fastcdr::Cdr::DDS_CDR);
      bool ok = false;
      try {
        cdr.read_encapsulation();
        ok = callbacks(kind).cdr_deserialize(cdr, c.msg);
        if (!ok) {
          PyErr_Format(PyExc_ValueError, "invalid CDR data of a %s", kind.class_name);
        }
      } catch (...) {
        set_error_from_current_exception(kind, true);
      }
      const size_t rest = ok ? size - cdr.getSerializedDataLength() : 0;
      if (ok && rest > 0 && (rest >= payload_alignment || size % payload_alignment != 0)) {
        ok = false;
        PyErr_Format(PyExc_ValueError, "%zu bytes follow the CDR data of a %s", rest,
                     kind.class_name);
      }
      if (ok) {
        result = kind.to_py(c.msg);
      }
    }
  }
  PyBuffer_Release(&view);
  return result;
}
