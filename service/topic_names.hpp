// ROS 2 topic names on DDS: "rt/" and the fully qualified name without its
// leading slash, the name made of tokens as ros_names.hpp checks them.
#pragma once

#include <optional>
#include <string>

namespace kestrel::msgs {

// TOPIC within namespace NS: "camera" + "rgb/image_raw" gives
// "rt/camera/rgb/image_raw"; an absolute TOPIC ("/tf_static") ignores NS;
// NS may start with a slash ("/robot/camera") or be empty. Nothing, with
// the reason in `error`, for a name that is not a valid ROS name.
std::optional<std::string> dds_topic_name(const std::string &ns, const std::string &topic,
                                          std::string &error);

}  // namespace kestrel::msgs
