// The fields of a message as short lines of text, as camtap prints the first
// message of each topic: the header first, then the other fields in wire
// order; a data field as its size, numbers in their shortest exact form.
#pragma once

#include <string>
#include <vector>

#include "ros_messages.hpp"

namespace kestrel::msgs {

// "575.8", "0", "-1e-07", "nan": the shortest text that reads back as `value`.
std::string number_text(double value);

// "stamp 1733700000.123456789 frame_id camera_rgb_optical_frame"
std::string header_text(const Header &header);

std::vector<std::string> describe(const Image &msg);
std::vector<std::string> describe(const CameraInfo &msg);
std::vector<std::string> describe(const PointCloud2 &msg);
std::vector<std::string> describe(const Imu &msg);
std::vector<std::string> describe(const TFMessage &msg);

}  // namespace kestrel::msgs
