// Writing a sensor_msgs/Image to a picture file, chosen by the file's
// extension: `.png` (8-bit RGB for rgb8, 8- or 16-bit grey for mono8,
// mono16 and 16UC1), `.ppm` (rgb8) or `.pgm` (the grey encodings).
#pragma once

#include <string>

#include "sensor_msgs/msg/detail/image__struct.h"

namespace kestrel::service {

// False, with the reason in `error`, for an unknown extension, an encoding the
// format cannot hold, an image whose step or data are too short for its size,
// or a failed write.
bool write_image_file(const std::string &path, const sensor_msgs__msg__Image &image,
                      std::string &error);

}  // namespace kestrel::service
