// One encoder (put) and one decoder (get) per message. put is written once
// against an output that either counts bytes (SizeCounter, for cdr_size and
// the middleware's payload size) or writes them (CdrWriter), so the size and
// the bytes cannot disagree. get reads through a CdrReader that checks each
// length and count against the bytes left before allocating, and names the
// field it was reading when the payload turns out short or wrong.
#include "ros_cdr.hpp"

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/Exception.h>
#include <fastcdr/exceptions/NotEnoughMemoryException.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <stdexcept>

namespace kestrel::msgs {

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;

ByteData borrowed(const uint8_t *source, size_t size) {
  ByteData data;
  data.produced_size = size;
  data.produce = [source, size](uint8_t *out) { std::copy(source, source + size, out); };
  return data;
}

namespace {

constexpr size_t kLengthBytes = 4;  // uint32 length or count prefix
constexpr uint32_t kMaxLength = std::numeric_limits<uint32_t>::max();

// A string or sequence too long for its uint32 length: nothing is written.
struct TooLong : std::length_error {
  TooLong() : std::length_error("too long for a uint32 length") {}
};

// ------------------------------------------------------------------ writing

// Bytes a body takes, laid out as Fast-CDR lays it out: each primitive
// aligned to its size from the start of the body.
struct SizeCounter {
  size_t at = 0;

  void align(size_t size) { at += Cdr::alignment(at, size); }
  template <class T>
  void value(T) {
    align(sizeof(T));
    at += sizeof(T);
  }
  void length(size_t) { value(uint32_t{}); }
  void string(const std::string &text) {
    length(text.size() + 1);
    at += text.size() + 1;
  }
  void doubles(const double *, size_t count) {
    if (count > 0) {
      align(sizeof(double));
      at += count * sizeof(double);
    }
  }
  void data(const ByteData &bytes) {
    length(bytes.size());
    at += bytes.size();
  }
};

// Writes a body into the stream; raises Fast-CDR's NotEnoughMemoryException
// when the buffer is full and TooLong for a length beyond uint32.
struct CdrWriter {
  Cdr &cdr;

  template <class T>
  void value(T v) {
    cdr << v;
  }
  void length(size_t n) {
    if (n > kMaxLength) throw TooLong();
    cdr << static_cast<uint32_t>(n);
  }
  // The length counts the terminating zero, which is written too.
  void string(const std::string &text) {
    if (text.size() >= kMaxLength) throw TooLong();
    length(text.size() + 1);
    cdr.serializeArray(text.c_str(), text.size() + 1);
  }
  void doubles(const double *values, size_t count) {
    for (size_t i = 0; i < count; ++i) cdr << values[i];
  }
  // Produced data is written by its producer straight into the buffer; the
  // stream steps over it. Only one-byte fields follow a data field in these
  // messages, so the stream's alignment bookkeeping needs no update.
  void data(const ByteData &bytes) {
    length(bytes.size());
    if (!bytes.produce) {
      cdr.serializeArray(bytes.bytes.data(), bytes.bytes.size());
      return;
    }
    uint8_t *out = reinterpret_cast<uint8_t *>(cdr.getCurrentPosition());
    if (!cdr.jump(bytes.produced_size)) {
      throw eprosima::fastcdr::exception::NotEnoughMemoryException(
          eprosima::fastcdr::exception::NotEnoughMemoryException::
              NOT_ENOUGH_MEMORY_MESSAGE_DEFAULT);
    }
    bytes.produce(out);
  }
};

template <class Out>
void put(Out &out, const Time &m) {
  out.value(m.sec);
  out.value(m.nanosec);
}

template <class Out>
void put(Out &out, const Header &m) {
  put(out, m.stamp);
  out.string(m.frame_id);
}

template <class Out>
void put(Out &out, const Image &m) {
  put(out, m.header);
  out.value(m.height);
  out.value(m.width);
  out.string(m.encoding);
  out.value(m.is_bigendian);
  out.value(m.step);
  out.data(m.data);
}

template <class Out>
void put(Out &out, const RegionOfInterest &m) {
  out.value(m.x_offset);
  out.value(m.y_offset);
  out.value(m.height);
  out.value(m.width);
  out.value(m.do_rectify);
}

template <class Out>
void put(Out &out, const CameraInfo &m) {
  put(out, m.header);
  out.value(m.height);
  out.value(m.width);
  out.string(m.distortion_model);
  out.length(m.d.size());
  out.doubles(m.d.data(), m.d.size());
  out.doubles(m.k.data(), m.k.size());
  out.doubles(m.r.data(), m.r.size());
  out.doubles(m.p.data(), m.p.size());
  out.value(m.binning_x);
  out.value(m.binning_y);
  put(out, m.roi);
}

template <class Out>
void put(Out &out, const PointField &m) {
  out.string(m.name);
  out.value(m.offset);
  out.value(m.datatype);
  out.value(m.count);
}

template <class Out>
void put(Out &out, const PointCloud2 &m) {
  put(out, m.header);
  out.value(m.height);
  out.value(m.width);
  out.length(m.fields.size());
  for (const PointField &field : m.fields) put(out, field);
  out.value(m.is_bigendian);
  out.value(m.point_step);
  out.value(m.row_step);
  out.data(m.data);
  out.value(m.is_dense);
}

template <class Out>
void put(Out &out, const Vector3 &m) {
  out.value(m.x);
  out.value(m.y);
  out.value(m.z);
}

template <class Out>
void put(Out &out, const Quaternion &m) {
  out.value(m.x);
  out.value(m.y);
  out.value(m.z);
  out.value(m.w);
}

template <class Out>
void put(Out &out, const Imu &m) {
  put(out, m.header);
  put(out, m.orientation);
  out.doubles(m.orientation_covariance.data(), m.orientation_covariance.size());
  put(out, m.angular_velocity);
  out.doubles(m.angular_velocity_covariance.data(), m.angular_velocity_covariance.size());
  put(out, m.linear_acceleration);
  out.doubles(m.linear_acceleration_covariance.data(), m.linear_acceleration_covariance.size());
}

template <class Out>
void put(Out &out, const Transform &m) {
  put(out, m.translation);
  put(out, m.rotation);
}

template <class Out>
void put(Out &out, const TransformStamped &m) {
  put(out, m.header);
  out.string(m.child_frame_id);
  put(out, m.transform);
}

template <class Out>
void put(Out &out, const TFMessage &m) {
  out.length(m.transforms.size());
  for (const TransformStamped &transform : m.transforms) put(out, transform);
}

// ------------------------------------------------------------------ reading

// A payload that is not the message; the text is the reason.
struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads a body from a stream over `size` bytes at `begin`, keeping the name
// of the field in hand ("transforms[1].header.frame_id") for the reason.
class CdrReader {
 public:
  CdrReader(Cdr &cdr, const char *begin, size_t size) : cdr_(cdr), begin_(begin), size_(size) {}

  // Names the field being read until the next call; a nested message or an
  // element of a sequence enters a scope of its own.
  class Scope {
   public:
    Scope(CdrReader &in, const char *name, long index = -1)
        : in_(in), depth_(in.path_.size()), unwinding_(std::uncaught_exceptions()) {
      if (!in.path_.empty()) in.path_ += '.';
      in.path_ += name;
      if (index >= 0) in.path_ += '[' + std::to_string(index) + ']';
    }
    // A read that failed leaves the path as it was, for the reason.
    ~Scope() {
      if (std::uncaught_exceptions() == unwinding_) in_.path_.resize(depth_);
    }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

   private:
    CdrReader &in_;
    size_t depth_;
    int unwinding_;  // exceptions in flight when the scope began
  };

  template <class T>
  void value(const char *name, T &v) {
    leaf_ = name;
    cdr_ >> v;
  }
  // A uint32 count of elements of at least `element_bytes` each, checked
  // against the bytes left.
  uint32_t count(const char *name, size_t element_bytes) {
    uint32_t n = 0;
    value(name, n);
    if (uint64_t{n} * element_bytes > left()) {
      throw Malformed("field '" + field() + "' gives " + std::to_string(n) +
                      (element_bytes == 1 ? " bytes" : " elements") + " but only " +
                      std::to_string(left()) + " bytes are left");
    }
    return n;
  }
  // The text up to its first zero (the length counts a terminating zero).
  void string(const char *name, std::string &text) {
    const uint32_t n = count(name, 1);
    text.resize(n);
    cdr_.deserializeArray(&text[0], n);
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
  }
  void doubles(const char *name, double *values, size_t n) {
    leaf_ = name;
    for (size_t i = 0; i < n; ++i) cdr_ >> values[i];
  }
  void data(const char *name, ByteData &bytes) {
    const uint32_t n = count(name, 1);
    bytes.produce = nullptr;
    bytes.produced_size = 0;
    bytes.bytes.resize(n);
    cdr_.deserializeArray(bytes.bytes.data(), n);
  }

  std::string field() const { return path_.empty() ? leaf_ : path_ + "." + leaf_; }
  size_t left() const { return size_ - static_cast<size_t>(cdr_.getCurrentPosition() - begin_); }

 private:
  Cdr &cdr_;
  const char *begin_;
  size_t size_;
  std::string path_;       // the enclosing fields
  const char *leaf_ = "";  // the field being read
};

using Scope = CdrReader::Scope;

void get(CdrReader &in, Time &m) {
  in.value("sec", m.sec);
  in.value("nanosec", m.nanosec);
}

void get(CdrReader &in, Header &m) {
  {
    Scope scope(in, "stamp");
    get(in, m.stamp);
  }
  in.string("frame_id", m.frame_id);
}

// A nested message as the field `name`.
template <class Msg>
void get_field(CdrReader &in, const char *name, Msg &m) {
  Scope scope(in, name);
  get(in, m);
}

// A sequence of nested messages of at least `element_bytes` each.
template <class Msg>
void get_sequence(CdrReader &in, const char *name, size_t element_bytes, std::vector<Msg> &out) {
  const uint32_t n = in.count(name, element_bytes);
  out.assign(n, Msg{});
  for (uint32_t i = 0; i < n; ++i) {
    Scope scope(in, name, static_cast<long>(i));
    get(in, out[i]);
  }
}

void get(CdrReader &in, Image &m) {
  get_field(in, "header", m.header);
  in.value("height", m.height);
  in.value("width", m.width);
  in.string("encoding", m.encoding);
  in.value("is_bigendian", m.is_bigendian);
  in.value("step", m.step);
  in.data("data", m.data);
}

void get(CdrReader &in, RegionOfInterest &m) {
  in.value("x_offset", m.x_offset);
  in.value("y_offset", m.y_offset);
  in.value("height", m.height);
  in.value("width", m.width);
  in.value("do_rectify", m.do_rectify);
}

void get(CdrReader &in, CameraInfo &m) {
  get_field(in, "header", m.header);
  in.value("height", m.height);
  in.value("width", m.width);
  in.string("distortion_model", m.distortion_model);
  m.d.assign(in.count("d", sizeof(double)), 0.0);
  in.doubles("d", m.d.data(), m.d.size());
  in.doubles("k", m.k.data(), m.k.size());
  in.doubles("r", m.r.data(), m.r.size());
  in.doubles("p", m.p.data(), m.p.size());
  in.value("binning_x", m.binning_x);
  in.value("binning_y", m.binning_y);
  get_field(in, "roi", m.roi);
}

// A point field on the wire: a name of at least its length and zero, the
// offset, the datatype and the count.
constexpr size_t kMinPointFieldBytes = kLengthBytes + 1 + 4 + 1 + 4;

void get(CdrReader &in, PointField &m) {
  in.string("name", m.name);
  in.value("offset", m.offset);
  in.value("datatype", m.datatype);
  in.value("count", m.count);
}

void get(CdrReader &in, PointCloud2 &m) {
  get_field(in, "header", m.header);
  in.value("height", m.height);
  in.value("width", m.width);
  get_sequence(in, "fields", kMinPointFieldBytes, m.fields);
  in.value("is_bigendian", m.is_bigendian);
  in.value("point_step", m.point_step);
  in.value("row_step", m.row_step);
  in.data("data", m.data);
  in.value("is_dense", m.is_dense);
}

void get(CdrReader &in, Vector3 &m) {
  in.value("x", m.x);
  in.value("y", m.y);
  in.value("z", m.z);
}

void get(CdrReader &in, Quaternion &m) {
  in.value("x", m.x);
  in.value("y", m.y);
  in.value("z", m.z);
  in.value("w", m.w);
}

void get(CdrReader &in, Imu &m) {
  get_field(in, "header", m.header);
  get_field(in, "orientation", m.orientation);
  in.doubles("orientation_covariance", m.orientation_covariance.data(), 9);
  get_field(in, "angular_velocity", m.angular_velocity);
  in.doubles("angular_velocity_covariance", m.angular_velocity_covariance.data(), 9);
  get_field(in, "linear_acceleration", m.linear_acceleration);
  in.doubles("linear_acceleration_covariance", m.linear_acceleration_covariance.data(), 9);
}

void get(CdrReader &in, Transform &m) {
  get_field(in, "translation", m.translation);
  get_field(in, "rotation", m.rotation);
}

void get(CdrReader &in, TransformStamped &m) {
  get_field(in, "header", m.header);
  in.string("child_frame_id", m.child_frame_id);
  get_field(in, "transform", m.transform);
}

// A transform on the wire: stamp, two strings of at least their length and
// zero, seven doubles.
constexpr size_t kMinTransformBytes = 8 + 2 * (kLengthBytes + 1) + 7 * sizeof(double);

void get(CdrReader &in, TFMessage &m) {
  get_sequence(in, "transforms", kMinTransformBytes, m.transforms);
}

// Names of each message type: package, kind and type.
template <class Msg>
struct Names;
#define KESTREL_MESSAGE_NAMES(Type, package)                               \
  template <>                                                              \
  struct Names<Type> {                                                     \
    static constexpr const char *ros = #package "/msg/" #Type;             \
    static constexpr const char *dds = #package "::msg::dds_::" #Type "_"; \
  };
KESTREL_MESSAGE_NAMES(Time, builtin_interfaces)
KESTREL_MESSAGE_NAMES(Header, std_msgs)
KESTREL_MESSAGE_NAMES(Image, sensor_msgs)
KESTREL_MESSAGE_NAMES(RegionOfInterest, sensor_msgs)
KESTREL_MESSAGE_NAMES(CameraInfo, sensor_msgs)
KESTREL_MESSAGE_NAMES(PointField, sensor_msgs)
KESTREL_MESSAGE_NAMES(PointCloud2, sensor_msgs)
KESTREL_MESSAGE_NAMES(Imu, sensor_msgs)
KESTREL_MESSAGE_NAMES(Vector3, geometry_msgs)
KESTREL_MESSAGE_NAMES(Quaternion, geometry_msgs)
KESTREL_MESSAGE_NAMES(Transform, geometry_msgs)
KESTREL_MESSAGE_NAMES(TransformStamped, geometry_msgs)
KESTREL_MESSAGE_NAMES(TFMessage, tf2_msgs)
#undef KESTREL_MESSAGE_NAMES

}  // namespace

template <class Msg>
const char *ros_type_name() {
  return Names<Msg>::ros;
}

template <class Msg>
const char *dds_type_name() {
  return Names<Msg>::dds;
}

template <class Msg>
size_t cdr_size(const Msg &msg) {
  SizeCounter counter;
  put(counter, msg);
  return kEncapsulationBytes + counter.at;
}

template <class Msg>
size_t encode_cdr(const Msg &msg, uint8_t *payload, size_t capacity) {
  FastBuffer buffer(reinterpret_cast<char *>(payload), capacity);
  Cdr cdr(buffer, Cdr::LITTLE_ENDIANNESS, Cdr::DDS_CDR);
  try {
    cdr.serialize_encapsulation();
    CdrWriter out{cdr};
    put(out, msg);
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return 0;
  } catch (const TooLong &) {
    return 0;
  }
  return cdr.getSerializedDataLength();
}

template <class Msg>
std::vector<uint8_t> encode_cdr(const Msg &msg) {
  std::vector<uint8_t> payload(cdr_size(msg));
  payload.resize(encode_cdr(msg, payload.data(), payload.size()));
  return payload;
}

template <class Msg>
bool decode_cdr(const uint8_t *payload, size_t size, Msg &msg, std::string &error) {
  if (!payload || size < kEncapsulationBytes) {
    error = "payload of " + std::to_string(size) + " bytes has no encapsulation header";
    return false;
  }
  // Plain CDR only: representation id 00 00 (big endian) or 00 01 (little).
  if (payload[0] != 0 || payload[1] > 1) {
    char id[8];
    std::snprintf(id, sizeof id, "%02x %02x", payload[0], payload[1]);
    error = std::string("encapsulation ") + id + " is not plain CDR";
    return false;
  }
  char *begin = reinterpret_cast<char *>(const_cast<uint8_t *>(payload));
  FastBuffer buffer(begin, size);
  Cdr cdr(buffer, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
  CdrReader in(cdr, begin, size);
  try {
    cdr.read_encapsulation();
    get(in, msg);
  } catch (const eprosima::fastcdr::exception::NotEnoughMemoryException &) {
    error = "payload of " + std::to_string(size) + " bytes ends in field '" + in.field() + "'";
    return false;
  } catch (const eprosima::fastcdr::exception::Exception &e) {
    error = "field '" + in.field() + "': " + e.what();
    return false;
  } catch (const Malformed &e) {
    error = e.what();
    return false;
  } catch (const std::bad_alloc &) {
    error = "out of memory reading field '" + in.field() + "'";
    return false;
  }
  return true;
}

#define KESTREL_INSTANTIATE(Type)                                    \
  template const char *ros_type_name<Type>();                        \
  template const char *dds_type_name<Type>();                        \
  template size_t cdr_size<Type>(const Type &);                      \
  template size_t encode_cdr<Type>(const Type &, uint8_t *, size_t); \
  template std::vector<uint8_t> encode_cdr<Type>(const Type &);      \
  template bool decode_cdr<Type>(const uint8_t *, size_t, Type &, std::string &);
KESTREL_INSTANTIATE(Time)
KESTREL_INSTANTIATE(Header)
KESTREL_INSTANTIATE(Image)
KESTREL_INSTANTIATE(RegionOfInterest)
KESTREL_INSTANTIATE(CameraInfo)
KESTREL_INSTANTIATE(PointField)
KESTREL_INSTANTIATE(PointCloud2)
KESTREL_INSTANTIATE(Imu)
KESTREL_INSTANTIATE(Vector3)
KESTREL_INSTANTIATE(Quaternion)
KESTREL_INSTANTIATE(Transform)
KESTREL_INSTANTIATE(TransformStamped)
KESTREL_INSTANTIATE(TFMessage)
#undef KESTREL_INSTANTIATE

}  // namespace kestrel::msgs
