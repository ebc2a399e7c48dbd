#include "cdr_codec.hpp"

#include <cstring>
#include <limits>

namespace {

// CDR lengths are uint32, and so are the middleware's message sizes: no
// encoding, header included, may pass this.
constexpr size_t max_encoding_size = std::numeric_limits<uint32_t>::max();

// A reference owned by the scope that holds it.
class Owned {
 public:
  explicit Owned(PyObject *object = nullptr) : object_(object) {}
  ~Owned() { Py_XDECREF(object_); }
  Owned(const Owned &) = delete;
  Owned &operator=(const Owned &) = delete;
  void reset(PyObject *object) {
    Py_XDECREF(object_);
    object_ = object;
  }
  PyObject *get() const { return object_; }
  PyObject *release() {
    PyObject *object = object_;
    object_ = nullptr;
    return object;
  }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  PyObject *object_;
};

// ------------------------------------------------------ reading the objects

bool get_attr(PyObject *obj, const char *name, Owned &out) {
  out.reset(PyObject_GetAttrString(obj, name));
  return static_cast<bool>(out);
}

// obj.<field>, an int in [low, high]; TypeError or ValueError otherwise.
bool int_field(PyObject *obj, const char *field, long long low, long long high, long long *out) {
  Owned value;
  if (!get_attr(obj, field, value)) {
    return false;
  }
  if (!PyLong_Check(value.get())) {
    PyErr_Format(PyExc_TypeError, "%s.%s must be an int, not %s", Py_TYPE(obj)->tp_name, field,
                 Py_TYPE(value.get())->tp_name);
    return false;
  }
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(value.get(), &overflow);
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

// A str field as UTF-8, read in place (the str is held while it is used).
struct Text {
  Owned str;
  const char *chars = nullptr;
  size_t size = 0;
};

// obj.<field>, a str without NUL characters: a NUL would end the string on
// the wire and silently lose the rest.
bool text_field(PyObject *obj, const char *field, Text &out) {
  if (!get_attr(obj, field, out.str)) {
    return false;
  }
  if (!PyUnicode_Check(out.str.get())) {
    PyErr_Format(PyExc_TypeError, "%s.%s must be a str, not %s", Py_TYPE(obj)->tp_name, field,
                 Py_TYPE(out.str.get())->tp_name);
    return false;
  }
  Py_ssize_t size = 0;
  out.chars = PyUnicode_AsUTF8AndSize(out.str.get(), &size);
  if (!out.chars) {
    return false;
  }
  out.size = static_cast<size_t>(size);
  if (std::memchr(out.chars, '\0', out.size)) {
    PyErr_Format(PyExc_ValueError, "%s.%s must not contain a NUL character", Py_TYPE(obj)->tp_name,
                 field);
    return false;
  }
  return true;
}

// The bytes of a byte-sequence field, read in place through the buffer
// protocol.
struct Bytes {
  Owned owner;
  Py_buffer view{};
  bool held = false;
  ~Bytes() {
    if (held) {
      PyBuffer_Release(&view);
    }
  }
};

// obj.<field>: any contiguous buffer of 1-byte items is taken as it is;
// anything else must convert with bytes() (a sequence of ints in [0, 255]).
bool bytes_field(PyObject *obj, const char *field, Bytes &out) {
  if (!get_attr(obj, field, out.owner)) {
    return false;
  }
  if (!PyObject_CheckBuffer(out.owner.get())) {
    out.owner.reset(PyBytes_FromObject(out.owner.get()));
    if (!out.owner) {
      return false;
    }
  }
  if (PyObject_GetBuffer(out.owner.get(), &out.view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
    return false;
  }
  out.held = true;
  if (out.view.itemsize != 1) {
    PyErr_Format(PyExc_TypeError, "%s.%s must hold bytes, not items of %zd bytes",
                 Py_TYPE(obj)->tp_name, field, out.view.itemsize);
    return false;
  }
  return true;
}

struct ImageFields {
  long long sec, nanosec, height, width, is_bigendian, step;
  Text frame_id, encoding;
  Bytes data;
};

// Reads the image's fields in the order the C conversion reads them.
bool gather_image(PyObject *image, ImageFields &f) {
  Owned header;
  Owned stamp;
  return get_attr(image, "header", header) && get_attr(header.get(), "stamp", stamp) &&
         int_field(stamp.get(), "sec", INT32_MIN, INT32_MAX, &f.sec) &&
         int_field(stamp.get(), "nanosec", 0, UINT32_MAX, &f.nanosec) &&
         text_field(header.get(), "frame_id", f.frame_id) &&
         int_field(image, "height", 0, UINT32_MAX, &f.height) &&
         int_field(image, "width", 0, UINT32_MAX, &f.width) &&
         text_field(image, "encoding", f.encoding) &&
         int_field(image, "is_bigendian", 0, UINT8_MAX, &f.is_bigendian) &&
         int_field(image, "step", 0, UINT32_MAX, &f.step) && bytes_field(image, "data", f.data);
}

// ------------------------------------------------------------ writing CDR

// Writes the payload little-endian at `out`; with out == NULL it only counts
// the bytes, so one routine gives both the size and the encoding. Alignment
// gaps are written as zeros.
struct Writer {
  uint8_t *out;
  size_t pos = 0;

  void pad(size_t alignment) {
    const size_t to = (pos + alignment - 1) / alignment * alignment;
    if (out) {
      std::memset(out + pos, 0, to - pos);
    }
    pos = to;
  }
  void raw(const void *bytes, size_t count) {
    if (out && count > 0) {
      std::memcpy(out + pos, bytes, count);
    }
    pos += count;
  }
  void u8(uint8_t v) { raw(&v, 1); }
  void u16(uint16_t v) {
    pad(2);
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    raw(b, sizeof b);
  }
  void u32(uint32_t v) {
    pad(4);
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    raw(b, sizeof b);
  }
  // A length that does not fit is cut here, but the total then passes
  // max_encoding_size and the encoding is refused before anything is written.
  void text(const Text &t) {
    u32(static_cast<uint32_t>(t.size + 1));
    raw(t.chars, t.size);
    u8(0);
  }
  void bytes(const Py_buffer &view) {
    u32(static_cast<uint32_t>(view.len));
    raw(view.buf, static_cast<size_t>(view.len));
  }
};

void write_image(Writer &w, const ImageFields &f) {
  w.u32(static_cast<uint32_t>(f.sec));
  w.u32(static_cast<uint32_t>(f.nanosec));
  w.text(f.frame_id);
  w.u32(static_cast<uint32_t>(f.height));
  w.u32(static_cast<uint32_t>(f.width));
  w.text(f.encoding);
  w.u8(static_cast<uint8_t>(f.is_bigendian));
  w.u32(static_cast<uint32_t>(f.step));
  w.bytes(f.data.view);
}

// The encapsulation header and the payload `write` produces, as bytes.
template <typename Fields>
PyObject *encode(const char *class_name, const Fields &fields,
                 void (*write)(Writer &, const Fields &)) {
  Writer count{nullptr};
  write(count, fields);
  if (count.pos > max_encoding_size - cdr_encapsulation_size) {
    PyErr_Format(PyExc_ValueError,
                 "a %s of %zu CDR bytes cannot be serialized: CDR lengths and message sizes "
                 "stop at 4 GiB",
                 class_name, count.pos + cdr_encapsulation_size);
    return nullptr;
  }
  PyObject *bytes = PyBytes_FromStringAndSize(
      nullptr, static_cast<Py_ssize_t>(cdr_encapsulation_size + count.pos));
  if (!bytes) {
    return nullptr;
  }
  auto *out = reinterpret_cast<uint8_t *>(PyBytes_AS_STRING(bytes));
  const uint8_t header[cdr_encapsulation_size] = {0x00, 0x01, 0x00, 0x00};  // plain CDR, LE
  std::memcpy(out, header, cdr_encapsulation_size);
  Writer writer{out + cdr_encapsulation_size};
  write(writer, fields);
  return bytes;
}

void write_angle(Writer &w, const int16_t &angle) {
  w.u16(static_cast<uint16_t>(angle));
}

// ------------------------------------------------------------ reading CDR

// Reads the payload; every read checks the bytes left first.
struct Reader {
  const uint8_t *data;
  size_t size;
  bool big_endian;
  size_t pos = 0;

  bool align(size_t alignment) {
    const size_t to = (pos + alignment - 1) / alignment * alignment;
    if (to > size) {
      return false;
    }
    pos = to;
    return true;
  }
  bool take(size_t count, const uint8_t *&at) {
    if (count > size - pos) {
      return false;
    }
    at = data + pos;
    pos += count;
    return true;
  }
  bool u8(uint8_t &v) {
    const uint8_t *p;
    if (!take(1, p)) {
      return false;
    }
    v = p[0];
    return true;
  }
  bool u16(uint16_t &v) {
    const uint8_t *p;
    if (!align(2) || !take(2, p)) {
      return false;
    }
    v = big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                   : static_cast<uint16_t>(p[1] << 8 | p[0]);
    return true;
  }
  bool u32(uint32_t &v) {
    const uint8_t *p;
    if (!align(4) || !take(4, p)) {
      return false;
    }
    v = big_endian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                   : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
    return true;
  }
  // The string's characters up to its first zero, in place.
  bool text(const char *&chars, size_t &length) {
    uint32_t count = 0;
    const uint8_t *p;
    if (!u32(count) || !take(count, p)) {
      return false;
    }
    chars = reinterpret_cast<const char *>(p);
    length = strnlen(chars, count);
    return true;
  }
  bool bytes(const uint8_t *&at, size_t &count) {
    uint32_t length = 0;
    if (!u32(length) || !take(length, at)) {
      return false;
    }
    count = length;
    return true;
  }
};

PyObject *truncated(const char *class_name) {
  PyErr_Format(PyExc_ValueError, "CDR data of a %s is truncated", class_name);
  return nullptr;
}

// The module of that name, a new reference: from sys.modules when it is
// there (much cheaper than the import protocol), else imported.
PyObject *import_module(const char *name) {
  Owned key(PyUnicode_FromString(name));
  if (!key) {
    return nullptr;
  }
  PyObject *module = PyImport_GetModule(key.get());
  if (module || PyErr_Occurred()) {
    return module;
  }
  return PyImport_ImportModule(name);
}

// A new module.class_name(), made with no arguments.
PyObject *new_object(const char *module, const char *class_name) {
  Owned mod(import_module(module));
  Owned cls(mod ? PyObject_GetAttrString(mod.get(), class_name) : nullptr);
  return cls ? PyObject_CallNoArgs(cls.get()) : nullptr;
}

// Sets obj.<name> through its property (which validates it) and releases
// value; a NULL value (a failed construction) fails with its exception.
bool set(PyObject *obj, const char *name, PyObject *value) {
  Owned held(value);
  return value && PyObject_SetAttrString(obj, name, value) == 0;
}

// A new array('B') holding a copy of the bytes: one copy, straight from the
// input buffer.
PyObject *byte_array(const uint8_t *bytes, size_t count) {
  Owned array_module(import_module("array"));
  Owned array(array_module ? PyObject_CallMethod(array_module.get(), "array", "s", "B") : nullptr);
  if (!array || count == 0) {
    return array.release();
  }
  Owned view(PyMemoryView_FromMemory(reinterpret_cast<char *>(const_cast<uint8_t *>(bytes)),
                                     static_cast<Py_ssize_t>(count), PyBUF_READ));
  Owned done(view ? PyObject_CallMethod(array.get(), "frombytes", "O", view.get()) : nullptr);
  return done ? array.release() : nullptr;
}

}  // namespace

PyObject *encode_request(PyObject *msg) {
  Owned angle;
  if (!get_attr(msg, "angle", angle)) {
    return nullptr;
  }
  if (!PyLong_Check(angle.get())) {
    PyErr_Format(PyExc_TypeError, "Camera_Request.angle must be an int, not %s",
                 Py_TYPE(angle.get())->tp_name);
    return nullptr;
  }
  // As in the C conversion: any int in the range of a C long is taken modulo
  // 2^16; one beyond it fails with OverflowError.
  const long value = PyLong_AsLong(angle.get());
  if (value == -1 && PyErr_Occurred()) {
    return nullptr;
  }
  const int16_t stored = static_cast<int16_t>(value);
  return encode("Camera_Request", stored, write_angle);
}

PyObject *encode_response(PyObject *msg) {
  Owned image;
  ImageFields fields;
  if (!get_attr(msg, "image", image) || !gather_image(image.get(), fields)) {
    return nullptr;
  }
  return encode("Camera_Response", fields, write_image);
}

PyObject *decode_request(const uint8_t *payload, size_t size, bool big_endian, size_t *used) {
  Reader r{payload, size, big_endian};
  uint16_t angle = 0;
  if (!r.u16(angle)) {
    return truncated("Camera_Request");
  }
  *used = r.pos;
  Owned request(new_object("kestrel_ifaces.srv._camera", "Camera_Request"));
  if (!request || !set(request.get(), "angle", PyLong_FromLong(static_cast<int16_t>(angle)))) {
    return nullptr;
  }
  return request.release();
}

PyObject *decode_response(const uint8_t *payload, size_t size, bool big_endian, size_t *used) {
  Reader r{payload, size, big_endian};
  uint32_t sec = 0, nanosec = 0, height = 0, width = 0, step = 0;
  uint8_t is_bigendian = 0;
  const char *frame_id = nullptr, *encoding = nullptr;
  size_t frame_id_length = 0, encoding_length = 0, data_size = 0;
  const uint8_t *data = nullptr;
  if (!r.u32(sec) || !r.u32(nanosec) || !r.text(frame_id, frame_id_length) || !r.u32(height) ||
      !r.u32(width) || !r.text(encoding, encoding_length) || !r.u8(is_bigendian) || !r.u32(step) ||
      !r.bytes(data, data_size)) {
    return truncated("Camera_Response");
  }
  *used = r.pos;

  Owned stamp(new_object("builtin_interfaces.msg._time", "Time"));
  if (!stamp || !set(stamp.get(), "sec", PyLong_FromLong(static_cast<int32_t>(sec))) ||
      !set(stamp.get(), "nanosec", PyLong_FromUnsignedLong(nanosec))) {
    return nullptr;
  }
  Owned header(new_object("std_msgs.msg._header", "Header"));
  if (!header || !set(header.get(), "stamp", stamp.release()) ||
      !set(header.get(), "frame_id",
           PyUnicode_DecodeUTF8(frame_id, static_cast<Py_ssize_t>(frame_id_length), nullptr))) {
    return nullptr;
  }
  Owned image(new_object("sensor_msgs.msg._image", "Image"));
  if (!image || !set(image.get(), "header", header.release()) ||
      !set(image.get(), "height", PyLong_FromUnsignedLong(height)) ||
      !set(image.get(), "width", PyLong_FromUnsignedLong(width)) ||
      !set(image.get(), "encoding",
           PyUnicode_DecodeUTF8(encoding, static_cast<Py_ssize_t>(encoding_length), nullptr)) ||
      !set(image.get(), "is_bigendian", PyLong_FromLong(is_bigendian)) ||
      !set(image.get(), "step", PyLong_FromUnsignedLong(step)) ||
      !set(image.get(), "data", byte_array(data, data_size))) {
    return nullptr;
  }
  Owned response(new_object("kestrel_ifaces.srv._camera", "Camera_Response"));
  if (!response || !set(response.get(), "image", image.release())) {
    return nullptr;
  }
  return response.release();
}
