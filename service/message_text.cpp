#include "message_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kestrel::msgs {

namespace {

template <class Container>
std::string list_text(const Container &values) {
  std::string text = "[";
  for (const double value : values) {
    if (text.size() > 1) text += ", ";
    text += number_text(value);
  }
  return text + "]";
}

std::string vector_text(const Vector3 &v) {
  return number_text(v.x) + " " + number_text(v.y) + " " + number_text(v.z);
}

std::string quaternion_text(const Quaternion &q) {
  return number_text(q.x) + " " + number_text(q.y) + " " + number_text(q.z) + " " +
         number_text(q.w);
}

const char *datatype_name(uint8_t datatype) {
  static const char *const names[] = {"?",     "INT8",   "UINT8",   "INT16",  "UINT16",
                                      "INT32", "UINT32", "FLOAT32", "FLOAT64"};
  return datatype <= PointField::FLOAT64 ? names[datatype] : "?";
}

std::string u(uint32_t value) {
  return std::to_string(value);
}

}  // namespace

std::string number_text(double value) {
  if (std::isnan(value)) return "nan";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string header_text(const Header &header) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%d.%09u", header.stamp.sec, header.stamp.nanosec);
  return std::string("stamp ") + stamp + " frame_id " + header.frame_id;
}

std::vector<std::string> describe(const Image &msg) {
  return {header_text(msg.header), "height " + u(msg.height) + " width " + u(msg.width) +
                                       " encoding " + msg.encoding + " is_bigendian " +
                                       u(msg.is_bigendian) + " step " + u(msg.step) + " data " +
                                       std::to_string(msg.data.size()) + " bytes"};
}

std::vector<std::string> describe(const CameraInfo &msg) {
  const RegionOfInterest &roi = msg.roi;
  return {header_text(msg.header),
          "height " + u(msg.height) + " width " + u(msg.width) + " distortion_model " +
              msg.distortion_model + " d " + list_text(msg.d),
          "k " + list_text(msg.k),
          "r " + list_text(msg.r),
          "p " + list_text(msg.p),
          "binning_x " + u(msg.binning_x) + " binning_y " + u(msg.binning_y) + " roi " +
              u(roi.x_offset) + " " + u(roi.y_offset) + " " + u(roi.height) + " " + u(roi.width) +
              (roi.do_rectify ? " rectify" : " no_rectify")};
}

std::vector<std::string> describe(const PointCloud2 &msg) {
  std::string fields = "fields";
  for (const PointField &field : msg.fields) {
    fields += (fields.size() > 6 ? ", " : " ") + field.name + " " + datatype_name(field.datatype) +
              " " + u(field.offset) + " " + u(field.count);
  }
  return {header_text(msg.header),
          "height " + u(msg.height) + " width " + u(msg.width) + " is_bigendian " +
              u(msg.is_bigendian) + " point_step " + u(msg.point_step) + " row_step " +
              u(msg.row_step) + " is_dense " + u(msg.is_dense) + " data " +
              std::to_string(msg.data.size()) + " bytes",
          fields};
}

std::vector<std::string> describe(const Imu &msg) {
  return {header_text(msg.header),
          "orientation " + quaternion_text(msg.orientation) + " covariance " +
              list_text(msg.orientation_covariance),
          "angular_velocity " + vector_text(msg.angular_velocity) + " covariance " +
              list_text(msg.angular_velocity_covariance),
          "linear_acceleration " + vector_text(msg.linear_acceleration) + " covariance " +
              list_text(msg.linear_acceleration_covariance)};
}

std::vector<std::string> describe(const TFMessage &msg) {
  std::vector<std::string> lines;
  for (const TransformStamped &t : msg.transforms) {
    lines.push_back(t.header.frame_id + " -> " + t.child_frame_id + " " + header_text(t.header) +
                    " translation " + vector_text(t.transform.translation) + " rotation " +
                    quaternion_text(t.transform.rotation));
  }
  if (lines.empty()) lines.push_back("no transforms");
  return lines;
}

}  // namespace kestrel::msgs
