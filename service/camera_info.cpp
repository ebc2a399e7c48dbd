#include "camera_info.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "message_text.hpp"

namespace kestrel::msgs {

namespace {

// The zero plane's pixels are those of the sensor's full 1280-wide image.
constexpr double kZeroPlaneScale = 2;

// Distortion models image_geometry knows, with their coefficient counts.
struct DistortionModel {
  const char *name;
  size_t coefficients;
};
constexpr DistortionModel kDistortionModels[] = {
    {"plumb_bob", 5}, {"rational_polynomial", 8}, {"equidistant", 4}};
constexpr size_t kPlumbBobCoefficients = 5;

void set_pinhole(CameraInfo &info, double focal, double cx, double cy) {
  info.k = {focal, 0, cx, 0, focal, cy, 0, 0, 1};
  info.r = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  info.p = {focal, 0, cx, 0, 0, focal, cy, 0, 0, 0, 1, 0};
}

// ------------------------------------------------------------ reading YAML

// A file that is not a calibration; the text names the field.
struct FieldError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string &path, const std::string &what) {
  throw FieldError("field '" + path + "': " + what);
}

YAML::Node child(const YAML::Node &parent, const std::string &parent_path, const char *key) {
  const std::string path = parent_path.empty() ? key : parent_path + "." + key;
  if (!parent.IsMap() || !parent[key]) fail(path, "missing");
  return parent[key];
}

double number(const YAML::Node &node, const std::string &path) {
  if (!node.IsScalar()) fail(path, "not a number");
  double value = 0;
  try {
    value = node.as<double>();
  } catch (const YAML::Exception &) {
    fail(path, "'" + node.Scalar() + "' is not a number");
  }
  if (!std::isfinite(value)) fail(path, "'" + node.Scalar() + "' is not a finite number");
  return value;
}

uint32_t whole_number(const YAML::Node &node, const std::string &path) {
  const double value = number(node, path);
  if (value < 0 || value > UINT32_MAX || std::floor(value) != value) {
    fail(path, "'" + node.Scalar() + "' is not a whole number");
  }
  return static_cast<uint32_t>(value);
}

std::string text(const YAML::Node &node, const std::string &path) {
  if (!node.IsScalar()) fail(path, "not a string");
  return node.Scalar();
}

// A matrix {rows, cols, data}: rows × cols numbers, row-major. `cols` 0
// takes any number of columns.
std::vector<double> matrix(const YAML::Node &parent, const char *key, uint32_t rows,
                           uint32_t cols) {
  const YAML::Node node = child(parent, "", key);
  const std::string path = key;
  const uint32_t got_rows = whole_number(child(node, path, "rows"), path + ".rows");
  const uint32_t got_cols = whole_number(child(node, path, "cols"), path + ".cols");
  if (got_rows != rows)
    fail(path + ".rows", std::to_string(got_rows) + ", expected " + std::to_string(rows));
  if (cols != 0 && got_cols != cols) {
    fail(path + ".cols", std::to_string(got_cols) + ", expected " + std::to_string(cols));
  }
  const YAML::Node data = child(node, path, "data");
  const std::string data_path = path + ".data";
  if (!data.IsSequence()) fail(data_path, "not a list of numbers");
  const size_t expected = size_t{got_rows} * got_cols;
  if (data.size() != expected) {
    fail(data_path, std::to_string(data.size()) + " numbers, expected " + std::to_string(expected) +
                        " (" + std::to_string(got_rows) + " × " + std::to_string(got_cols) + ")");
  }
  std::vector<double> values;
  for (size_t i = 0; i < data.size(); ++i) {
    values.push_back(number(data[i], data_path + "[" + std::to_string(i) + "]"));
  }
  return values;
}

template <size_t N>
void copy_into(const std::vector<double> &values, std::array<double, N> &out) {
  std::copy(values.begin(), values.end(), out.begin());
}

void read_document(const YAML::Node &root, uint32_t width, uint32_t height,
                   Calibration &calibration) {
  if (!root.IsMap()) throw FieldError("not a YAML map of calibration fields");
  CameraInfo info;
  info.width = whole_number(child(root, "", "image_width"), "image_width");
  info.height = whole_number(child(root, "", "image_height"), "image_height");
  const std::string size = std::to_string(width) + " × " + std::to_string(height);
  if (info.width != width)
    fail("image_width", std::to_string(info.width) + ", the camera's images are " + size);
  if (info.height != height) {
    fail("image_height", std::to_string(info.height) + ", the camera's images are " + size);
  }
  calibration.camera_name = text(child(root, "", "camera_name"), "camera_name");
  copy_into(matrix(root, "camera_matrix", 3, 3), info.k);
  info.distortion_model = text(child(root, "", "distortion_model"), "distortion_model");
  const DistortionModel *model = nullptr;
  for (const DistortionModel &known : kDistortionModels) {
    if (info.distortion_model == known.name) model = &known;
  }
  if (!model) {
    fail("distortion_model",
         "'" + info.distortion_model + "' is none of plumb_bob, rational_polynomial, equidistant");
  }
  info.d = matrix(root, "distortion_coefficients", 1, 0);
  if (info.d.size() != model->coefficients) {
    fail("distortion_coefficients.cols", std::to_string(info.d.size()) + ", " + model->name +
                                             " takes " + std::to_string(model->coefficients));
  }
  copy_into(matrix(root, "rectification_matrix", 3, 3), info.r);
  copy_into(matrix(root, "projection_matrix", 3, 4), info.p);
  calibration.info = info;
}

// ------------------------------------------------------------ writing YAML

void emit_matrix(YAML::Emitter &out, const char *key, size_t rows, size_t cols,
                 const double *values) {
  out << YAML::Key << key << YAML::Value << YAML::BeginMap;
  out << YAML::Key << "rows" << YAML::Value << rows;
  out << YAML::Key << "cols" << YAML::Value << cols;
  out << YAML::Key << "data" << YAML::Value << YAML::Flow << YAML::BeginSeq;
  for (size_t i = 0; i < rows * cols; ++i) out << number_text(values[i]);
  out << YAML::EndSeq << YAML::EndMap;
}

}  // namespace

bool camera_info_from_zero_plane(double reference_distance_mm, double reference_pixel_size_mm,
                                 CameraInfo &info, std::string &error) {
  info = CameraInfo{};
  info.width = kKinectWidth;
  info.height = kKinectHeight;
  info.distortion_model = "plumb_bob";
  info.d.assign(kPlumbBobCoefficients, 0.0);
  if (!(reference_distance_mm > 0) || !(reference_pixel_size_mm > 0) ||
      !std::isfinite(reference_distance_mm) || !std::isfinite(reference_pixel_size_mm)) {
    std::ostringstream reason;
    reason << "the device's zero plane (reference distance " << reference_distance_mm
           << " mm, pixel size " << reference_pixel_size_mm << " mm) gives no focal length";
    error = reason.str();
    return false;
  }
  const double focal = reference_distance_mm / (kZeroPlaneScale * reference_pixel_size_mm);
  set_pinhole(info, focal, kKinectWidth / 2.0, kKinectHeight / 2.0);
  return true;
}

bool parse_calibration(const std::string &text, const std::string &source, uint32_t width,
                       uint32_t height, Calibration &calibration, std::string &error) {
  try {
    read_document(YAML::Load(text), width, height, calibration);
  } catch (const FieldError &e) {
    error = source + ": " + e.what();
    return false;
  } catch (const YAML::Exception &e) {
    error = source + ": not YAML: " + e.what();
    return false;
  }
  return true;
}

bool read_calibration_file(const std::string &path, uint32_t width, uint32_t height,
                           Calibration &calibration, std::string &error) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream contents;
  if (!file || !(contents << file.rdbuf()) || file.bad()) {
    error = path + ": cannot read the file: " + std::strerror(errno);
    return false;
  }
  return parse_calibration(contents.str(), path, width, height, calibration, error);
}

std::string calibration_yaml(const Calibration &calibration) {
  const CameraInfo &info = calibration.info;
  YAML::Emitter out;
  out << YAML::BeginMap;
  out << YAML::Key << "image_width" << YAML::Value << info.width;
  out << YAML::Key << "image_height" << YAML::Value << info.height;
  out << YAML::Key << "camera_name" << YAML::Value << calibration.camera_name;
  emit_matrix(out, "camera_matrix", 3, 3, info.k.data());
  out << YAML::Key << "distortion_model" << YAML::Value << info.distortion_model;
  emit_matrix(out, "distortion_coefficients", 1, info.d.size(), info.d.data());
  emit_matrix(out, "rectification_matrix", 3, 3, info.r.data());
  emit_matrix(out, "projection_matrix", 3, 4, info.p.data());
  out << YAML::EndMap;
  return std::string(out.c_str()) + "\n";
}

bool write_calibration_file(const std::string &path, const Calibration &calibration,
                            std::string &error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << calibration_yaml(calibration);
  file.close();
  if (!file) {
    error = path + ": cannot write the file";
    return false;
  }
  return true;
}

}  // namespace kestrel::msgs
