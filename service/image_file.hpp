// Writing a sensor_msgs/Image to a picture file, chosen by the file's
// extension: `.png` (8-bit RGB for rgb8, 8- or 16-bit grey for mono8,
// mono16 and 16UC1), `.ppm` (rgb8) or `.pgm` (the grey encodings).
#pragma once

#include <string>

#include "sensor_msgs/msg/detail/image__struct.h"

namespace kestrel::service {

// Whether an image could be written to `path` at all, before there is one:
// the extension is one of the three and the folder exists and is writable.
// False with the reason in `error`.
bool check_image_path(const std::string &path, std::string &error);

// False, with the reason in `error`, for an unknown extension, an encoding the
// format cannot hold, an image whose step or data are too short for its size,
// or a failed write. The image goes to a temporary file beside `path`,
// renamed to `path` once whole: a failed write leaves neither a partial
// file nor the temporary one, and an earlier file of that name stays.
bool write_image_file(const std::string &path, const sensor_msgs__msg__Image &image,
                      std::string &error);

}  // namespace kestrel::service
