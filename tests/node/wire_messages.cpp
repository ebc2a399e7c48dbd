#include "wire_messages.hpp"

#include <cstring>

namespace kestrel::wire {

namespace {

constexpr size_t kHeaderBytes = 4;  // encapsulation: 00 01 00 00 (CDR, little endian)
constexpr size_t kGidBytes = 24;

// Reads fields one by one; any read past the end clears `ok` and gives zeros.
struct In {
  const Bytes &p;
  size_t at = kHeaderBytes;
  bool ok = true;

  bool take(size_t n, size_t alignment) {
    // Alignment counts from the end of the encapsulation header.
    while ((at - kHeaderBytes) % alignment) ++at;
    if (!ok || at > p.size() || p.size() - at < n) {
      ok = false;
      return false;
    }
    return true;
  }
  template <class T>
  T prim() {
    T value{};
    if (take(sizeof(T), sizeof(T))) {
      std::memcpy(&value, &p[at], sizeof(T));
      at += sizeof(T);
    }
    return value;
  }
  uint8_t u8() { return prim<uint8_t>(); }
  uint32_t u32() { return prim<uint32_t>(); }
  double f64() { return prim<double>(); }
  std::string string() {
    uint32_t n = u32();
    if (n == 0 || !take(n, 1) || p[at + n - 1] != 0) {
      ok = false;
      return {};
    }
    std::string text(p.begin() + at, p.begin() + at + n - 1);
    at += n;
    return text;
  }
  Bytes bytes(uint32_t n) {
    if (!take(n, 1)) return {};
    Bytes out(p.begin() + at, p.begin() + at + n);
    at += n;
    return out;
  }
  Bytes sequence() { return bytes(u32()); }
  template <size_t N>
  std::array<double, N> doubles() {
    std::array<double, N> out{};
    for (double &x : out) x = f64();
    return out;
  }
  Header header() {
    Header h;
    h.sec = prim<int32_t>();
    h.nanosec = u32();
    h.frame_id = string();
    return h;
  }
  Vector3 vector3() { return {f64(), f64(), f64()}; }
  Quaternion quaternion() {
    Quaternion q;
    q.x = f64();
    q.y = f64();
    q.z = f64();
    q.w = f64();
    return q;
  }
  // The whole payload read, but for at most 3 bytes of alignment.
  bool done() const { return ok && p.size() - at < 4; }
};

bool plain_le(const Bytes &payload) {
  return payload.size() >= kHeaderBytes && payload[0] == 0 && payload[1] == 1;
}

template <class T>
std::optional<T> result(const In &in, T value) {
  if (!in.done()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Image> decode_image(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  Image m;
  m.header = in.header();
  m.height = in.u32();
  m.width = in.u32();
  m.encoding = in.string();
  m.is_bigendian = in.u8();
  m.step = in.u32();
  m.data = in.sequence();
  return result(in, std::move(m));
}

std::optional<CameraInfo> decode_camera_info(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  CameraInfo m;
  m.header = in.header();
  m.height = in.u32();
  m.width = in.u32();
  m.distortion_model = in.string();
  uint32_t n = in.u32();
  if (n > payload.size() / 8) return std::nullopt;
  for (uint32_t i = 0; i < n; ++i) m.d.push_back(in.f64());
  m.k = in.doubles<9>();
  m.r = in.doubles<9>();
  m.p = in.doubles<12>();
  m.binning_x = in.u32();
  m.binning_y = in.u32();
  m.roi_x = in.u32();
  m.roi_y = in.u32();
  m.roi_height = in.u32();
  m.roi_width = in.u32();
  m.do_rectify = in.u8() != 0;
  return result(in, std::move(m));
}

std::optional<PointCloud2> decode_point_cloud(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  PointCloud2 m;
  m.header = in.header();
  m.height = in.u32();
  m.width = in.u32();
  uint32_t fields = in.u32();
  if (fields > payload.size() / 13) return std::nullopt;
  for (uint32_t i = 0; i < fields; ++i) {
    Field f;
    f.name = in.string();
    f.offset = in.u32();
    f.datatype = in.u8();
    f.count = in.u32();
    m.fields.push_back(f);
  }
  m.is_bigendian = in.u8() != 0;
  m.point_step = in.u32();
  m.row_step = in.u32();
  m.data = in.sequence();
  m.is_dense = in.u8() != 0;
  return result(in, std::move(m));
}

std::optional<Imu> decode_imu(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  Imu m;
  m.header = in.header();
  m.orientation = in.quaternion();
  m.orientation_covariance = in.doubles<9>();
  m.angular_velocity = in.vector3();
  m.angular_velocity_covariance = in.doubles<9>();
  m.linear_acceleration = in.vector3();
  m.linear_acceleration_covariance = in.doubles<9>();
  return result(in, std::move(m));
}

std::optional<std::vector<TransformStamped>> decode_tf_message(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  uint32_t n = in.u32();
  if (n > payload.size() / 64) return std::nullopt;
  std::vector<TransformStamped> out;
  for (uint32_t i = 0; i < n; ++i) {
    TransformStamped t;
    t.header = in.header();
    t.child_frame_id = in.string();
    t.translation = in.vector3();
    t.rotation = in.quaternion();
    out.push_back(t);
  }
  return result(in, std::move(out));
}

std::optional<ParticipantEntities> decode_entities(const Bytes &payload) {
  if (!plain_le(payload)) return std::nullopt;
  In in{payload};
  ParticipantEntities m;
  m.gid = in.bytes(kGidBytes);
  uint32_t nodes = in.u32();
  if (nodes > payload.size() / 16) return std::nullopt;
  auto gids = [&] {
    std::vector<Bytes> out;
    uint32_t n = in.u32();
    for (uint32_t i = 0; i < n && in.ok; ++i) out.push_back(in.bytes(kGidBytes));
    return out;
  };
  for (uint32_t i = 0; i < nodes && in.ok; ++i) {
    NodeEntities node;
    node.ns = in.string();
    node.name = in.string();
    node.readers = gids();
    node.writers = gids();
    m.nodes.push_back(node);
  }
  return result(in, std::move(m));
}

float f32_at(const Bytes &data, size_t at) {
  float value;
  std::memcpy(&value, &data[at], sizeof(value));
  return value;
}

uint32_t u32_at(const Bytes &data, size_t at) {
  uint32_t value;
  std::memcpy(&value, &data[at], sizeof(value));
  return value;
}

}  // namespace kestrel::wire
