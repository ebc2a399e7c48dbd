// CDR serialization of Camera messages for Python, straight between the
// Python objects and the bytes: the fields are read from the objects and
// written into the bytes object, and read from the bytes into new objects,
// without a C message between them. The pixels are copied once each way.
//
// The layout is the one the package's CDR type support writes: plain CDR
// (DDS_CDR), fields aligned to their size from the start of the payload,
// strings as a uint32 length with the terminating zero counted, then the
// characters and the zero; byte sequences as a uint32 length and the bytes.
#ifndef KESTREL_IFACES_PY_CDR_CODEC_HPP_
#define KESTREL_IFACES_PY_CDR_CODEC_HPP_

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>

// Bytes of the encapsulation header before the payload: 00, the kind
// (00 plain CDR big-endian, 01 little-endian), 2 option bytes.
constexpr size_t cdr_encapsulation_size = 4;

// The encapsulation header, then the message: 00 01 00 00 (plain CDR,
// little-endian) and the payload. NULL with an exception set on failure:
// the conversion's errors for wrong field values (TypeError, ValueError,
// OverflowError for an angle beyond a C long), ValueError for a string
// holding a NUL or a message whose encoding would pass the 4 GiB the CDR
// lengths and the middleware's sizes can express.
PyObject *encode_request(PyObject *msg);
PyObject *encode_response(PyObject *msg);

// A new Camera_Request / Camera_Response decoded from the `size` payload
// bytes that follow the encapsulation header, in the given byte order; *used
// tells how many bytes the message took. NULL with ValueError for truncated
// data (every length is checked against the bytes left before anything is
// allocated) or a string that is not UTF-8. Strings end at their first zero,
// as in the C type support.
PyObject *decode_request(const uint8_t *payload, size_t size, bool big_endian, size_t *used);
PyObject *decode_response(const uint8_t *payload, size_t size, bool big_endian, size_t *used);

#endif  // KESTREL_IFACES_PY_CDR_CODEC_HPP_
