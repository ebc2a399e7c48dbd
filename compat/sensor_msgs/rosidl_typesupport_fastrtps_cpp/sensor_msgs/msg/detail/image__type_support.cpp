// C++ CDR type support of sensor_msgs/msg/Image, in field order: header
// (through the Header type support), uint32 height, uint32 width, string
// encoding, uint8 is_bigendian, uint32 step, uint8[] data; byte for byte as
// the C type support writes them.
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_cpp.hpp"

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "cdr_cpp_callbacks.hpp"
#include "cdr_message_handle.hpp"
#include "cdr_fields.hpp"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_cpp.hpp"

using eprosima::fastcdr::Cdr;
using sensor_msgs::msg::Image;
namespace header_cdr = std_msgs::msg::typesupport_fastrtps_cpp;

namespace sensor_msgs {
namespace msg {
namespace typesupport_fastrtps_cpp {

namespace {
constexpr size_t kUint32Bytes = 4;

size_t uint32_size(size_t alignment) {
  return Cdr::alignment(alignment, kUint32Bytes) + kUint32Bytes;
}
}  // namespace

bool cdr_serialize(const Image &ros_message, Cdr &cdr) {
  if (!header_cdr::cdr_serialize(ros_message.header, cdr)) {
    return false;
  }
  cdr << ros_message.height << ros_message.width;
  if (!compat_cdr::write_string(cdr, ros_message.encoding)) {
    return false;
  }
  cdr << ros_message.is_bigendian << ros_message.step;
  return compat_cdr::write_bytes(cdr, ros_message.data);
}

bool cdr_deserialize(Cdr &cdr, Image &ros_message) {
  if (!header_cdr::cdr_deserialize(cdr, ros_message.header)) {
    return false;
  }
  cdr >> ros_message.height >> ros_message.width;
  compat_cdr::read_string(cdr, ros_message.encoding);
  cdr >> ros_message.is_bigendian >> ros_message.step;
  compat_cdr::read_bytes(cdr, ros_message.data);
  return true;
}

size_t get_serialized_size(const Image &ros_message, size_t current_alignment) {
  size_t end = current_alignment;
  end += header_cdr::get_serialized_size(ros_message.header, end);
  end += uint32_size(end);  // height
  end += uint32_size(end);  // width
  end += compat_cdr::string_size(end, ros_message.encoding);
  end += 1;                 // is_bigendian
  end += uint32_size(end);  // step
  end += compat_cdr::bytes_size(end, ros_message.data);
  return end - current_alignment;
}

// The encoding and the pixel data have no upper bound: the result counts the
// fixed parts only, and the type is neither bounded nor plain.
size_t max_serialized_size_Image(bool &full_bounded, bool &is_plain, size_t current_alignment) {
  size_t end = current_alignment;
  bool header_bounded = true;
  bool header_plain = true;
  end += header_cdr::max_serialized_size_Header(header_bounded, header_plain, end);
  end += uint32_size(end);                   // height
  end += uint32_size(end);                   // width
  end += compat_cdr::prefixed_size(end, 1);  // encoding, at least its zero
  end += 1;                                  // is_bigendian
  end += uint32_size(end);                   // step
  end += compat_cdr::prefixed_size(end, 0);  // data
  full_bounded = false;
  is_plain = false;
  return end - current_alignment;
}

}  // namespace typesupport_fastrtps_cpp
}  // namespace msg
}  // namespace sensor_msgs

namespace {

namespace ts = sensor_msgs::msg::typesupport_fastrtps_cpp;
using Callbacks = compat_cdr::CppCallbacks<Image, ts::cdr_serialize, ts::cdr_deserialize,
                                           ts::get_serialized_size, ts::max_serialized_size_Image>;

compat_cdr::MessageHandle message{
    Callbacks::record("sensor_msgs::msg", "Image"),
    {nullptr, &message.callbacks, get_message_typesupport_handle_function}};

// The identifier is another library's variable: the contract fixes the
// timing at load.
const bool filled_at_load =
    compat_cdr::fill_at_load(message, rosidl_typesupport_fastrtps_cpp::typesupport_identifier);

}  // namespace

namespace rosidl_typesupport_fastrtps_cpp {

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<sensor_msgs::msg::Image>() {
  return &message.handle;
}

}  // namespace rosidl_typesupport_fastrtps_cpp

extern "C" {

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, sensor_msgs, msg, Image)() {
  return &message.handle;
}

}  // extern "C"
