// Writing a sensor_msgs/PointCloud2 as a binary little-endian PLY file, which
// point-cloud viewers open: one vertex per point with a finite x, y and z
// (float), and red, green, blue (uchar) when the cloud has an `rgb` field
// (FLOAT32 or UINT32 holding 0x00RRGGBB, as PCL packs it). Points without a
// reading (NaN) are left out.
#pragma once

#include <string>

#include "ros_messages.hpp"

namespace kestrel::msgs {

// False, with the reason, for a cloud without FLOAT32 x, y and z fields, one
// whose fields, steps or data do not fit together, or a failed write.
bool write_ply_file(const std::string &path, const PointCloud2 &cloud, std::string &error);

}  // namespace kestrel::msgs
