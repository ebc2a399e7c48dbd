#include "cloud_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kestrel::msgs {

namespace {

constexpr size_t kValueBytes = 4;  // FLOAT32 and UINT32 fields

const PointField *find_field(const PointCloud2 &cloud, const char *name) {
  for (const PointField &field : cloud.fields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

// A 4-byte value of a point in host order (this is a little-endian host).
uint32_t word_at(const uint8_t *point, uint32_t offset, bool big_endian) {
  uint32_t word = 0;
  std::memcpy(&word, point + offset, sizeof word);
  return big_endian ? __builtin_bswap32(word) : word;
}

float float_at(const uint8_t *point, uint32_t offset, bool big_endian) {
  const uint32_t word = word_at(point, offset, big_endian);
  float value = 0;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

// The vertices packed as PLY stores them: x y z float, then r g b.
std::vector<uint8_t> vertices(const PointCloud2 &cloud, const PointField *xyz[3],
                              const PointField *rgb, size_t &count) {
  const uint8_t *data = cloud.data.bytes.data();
  std::vector<uint8_t> out;
  count = 0;
  for (uint32_t row = 0; row < cloud.height; ++row) {
    for (uint32_t col = 0; col < cloud.width; ++col) {
      const uint8_t *point = data + size_t{row} * cloud.row_step + size_t{col} * cloud.point_step;
      float position[3];
      for (int i = 0; i < 3; ++i) position[i] = float_at(point, xyz[i]->offset, cloud.is_bigendian);
      if (!std::isfinite(position[0]) || !std::isfinite(position[1]) ||
          !std::isfinite(position[2])) {
        continue;
      }
      const uint8_t *bytes = reinterpret_cast<const uint8_t *>(position);
      out.insert(out.end(), bytes, bytes + sizeof position);
      if (rgb) {
        const uint32_t colour = word_at(point, rgb->offset, cloud.is_bigendian);
        out.push_back(static_cast<uint8_t>(colour >> 16));
        out.push_back(static_cast<uint8_t>(colour >> 8));
        out.push_back(static_cast<uint8_t>(colour));
      }
      ++count;
    }
  }
  return out;
}

}  // namespace

bool write_ply_file(const std::string &path, const PointCloud2 &cloud, std::string &error) {
  const PointField *xyz[3] = {find_field(cloud, "x"), find_field(cloud, "y"),
                              find_field(cloud, "z")};
  for (const PointField *field : xyz) {
    if (!field || field->datatype != PointField::FLOAT32 ||
        field->offset + kValueBytes > cloud.point_step) {
      error = "the cloud has no FLOAT32 x, y and z fields within its points";
      return false;
    }
  }
  const PointField *rgb = find_field(cloud, "rgb");
  if (rgb && ((rgb->datatype != PointField::FLOAT32 && rgb->datatype != PointField::UINT32) ||
              rgb->offset + kValueBytes > cloud.point_step)) {
    rgb = nullptr;  // a colour PLY cannot show: the points alone
  }
  if (uint64_t{cloud.point_step} * cloud.width > cloud.row_step ||
      uint64_t{cloud.row_step} * cloud.height > cloud.data.bytes.size()) {
    error = "the cloud's data (" + std::to_string(cloud.data.bytes.size()) +
            " bytes) does not hold " + std::to_string(cloud.height) + " rows of " +
            std::to_string(cloud.width) + " points of " + std::to_string(cloud.point_step) +
            " bytes, " + std::to_string(cloud.row_step) + " bytes a row";
    return false;
  }
  size_t count = 0;
  const std::vector<uint8_t> body = vertices(cloud, xyz, rgb, count);
  FILE *file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot create '" + path + "': " + std::strerror(errno);
    return false;
  }
  const bool written =
      std::fprintf(file,
                   "ply\nformat binary_little_endian 1.0\nelement vertex %zu\n"
                   "property float x\nproperty float y\nproperty float z\n%s"
                   "end_header\n",
                   count,
                   rgb ? "property uchar red\nproperty uchar green\nproperty uchar blue\n" : "") >
          0 &&
      std::fwrite(body.data(), 1, body.size(), file) == body.size();
  if (std::fclose(file) != 0 || !written) {
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

}  // namespace kestrel::msgs
