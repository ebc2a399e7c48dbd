// The Kinect's camera infos: from the device's own registration data, or
// from the YAML files ROS's camera calibrator writes (and camtap saves).
// Header stamps and frame ids are left to the publisher.
#pragma once

#include <cstdint>
#include <string>

#include "ros_messages.hpp"

namespace kestrel::msgs {

constexpr uint32_t kKinectWidth = 640;  // pixels of both cameras' images
constexpr uint32_t kKinectHeight = 480;

// The pinhole model the driver's freenect_camera_to_world applies, from the
// zero-plane information of freenect_copy_registration (millimetres): focal
// length reference_distance / (2 × reference_pixel_size) pixels (the zero
// plane's pixels are those of the 1280-wide sensor, twice the size of a
// 640-wide image's) about the image centre (320, 240); `plumb_bob` with zero
// distortion, R the identity, P = [K | 0]. The driver describes the depth
// camera and the registered depth, which lies on the rgb camera's pixel
// grid, with this one model, so it serves for both cameras. False, with the
// reason and an uncalibrated (all-zero) info of the right size, when the
// values are not positive and finite.
bool camera_info_from_zero_plane(double reference_distance_mm, double reference_pixel_size_mm,
                                 CameraInfo &info, std::string &error);

// A calibration file's contents: the camera info without its header.
struct Calibration {
  std::string camera_name;
  CameraInfo info;
};

// Reads a calibrator YAML file (image_width, image_height, camera_name,
// camera_matrix, distortion_model, distortion_coefficients,
// rectification_matrix, projection_matrix, each matrix with rows, cols and
// data). False, with an error naming the file and the field, for a file that
// cannot be read or parsed, a missing field, a value that is not a number, a
// matrix whose rows, cols or data count is wrong, an unknown distortion model
// or one with the wrong number of coefficients, or an image size other than
// `width` × `height`.
bool read_calibration_file(const std::string &path, uint32_t width, uint32_t height,
                           Calibration &calibration, std::string &error);
// The same from the text of such a file; `source` names it in errors.
bool parse_calibration(const std::string &text, const std::string &source, uint32_t width,
                       uint32_t height, Calibration &calibration, std::string &error);

// The file read_calibration_file (and camera_info_manager) reads; numbers in
// their shortest exact form, so reading it back gives the same doubles.
std::string calibration_yaml(const Calibration &calibration);
bool write_calibration_file(const std::string &path, const Calibration &calibration,
                            std::string &error);

}  // namespace kestrel::msgs
