// CDR type support of sensor_msgs/msg/Image for its C structure, in field
// order: header (through the Header type support), uint32 height, uint32
// width, string encoding, uint8 is_bigendian, uint32 step, uint8[] data.
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_c.h"

#include <fastcdr/Cdr.h>

#include "cdr_fields.hpp"
#include "cdr_message_handle.hpp"
#include "rosidl_typesupport_fastrtps_c/identifier.h"
#include "sensor_msgs/msg/detail/image__struct.h"
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_c.h"

using eprosima::fastcdr::Cdr;
using Image = sensor_msgs__msg__Image;

namespace {

constexpr size_t kUint32Bytes = 4;

const message_type_support_callbacks_t &header_callbacks() {
  return *static_cast<const message_type_support_callbacks_t *>(
      ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c, std_msgs,
                                                        msg, Header)()
          ->data);
}

size_t uint32_size(size_t alignment) {
  return Cdr::alignment(alignment, kUint32Bytes) + kUint32Bytes;
}

bool serialize(const void *untyped, Cdr &cdr) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  const Image *msg = static_cast<const Image *>(untyped);
  if (!header_callbacks().cdr_serialize(&msg->header, cdr)) {
    return false;
  }
  cdr << msg->height << msg->width;
  if (!compat_cdr::write_string(cdr, msg->encoding)) {
    return false;
  }
  cdr << msg->is_bigendian << msg->step;
  return compat_cdr::write_bytes(cdr, msg->data);
}

bool deserialize(Cdr &cdr, void *untyped) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  Image *msg = static_cast<Image *>(untyped);
  if (!header_callbacks().cdr_deserialize(cdr, &msg->header)) {
    return false;
  }
  cdr >> msg->height >> msg->width;
  if (!compat_cdr::read_string(cdr, msg->encoding)) {
    return false;
  }
  cdr >> msg->is_bigendian >> msg->step;
  return compat_cdr::read_bytes(cdr, msg->data);
}

compat_cdr::MessageHandle handle{
    {"sensor_msgs::msg", "Image", serialize, deserialize,
     compat_cdr::whole_size<get_serialized_size_sensor_msgs__msg__Image>,
     compat_cdr::max_size_and_key<max_serialized_size_sensor_msgs__msg__Image>},
    {nullptr, &handle.callbacks, get_message_typesupport_handle_function}};

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load =
    compat_cdr::fill_at_load(handle, rosidl_typesupport_fastrtps_c__identifier);

}  // namespace

extern "C" {

size_t get_serialized_size_sensor_msgs__msg__Image(const void *untyped_ros_message,
                                                   size_t current_alignment) {
  const Image *msg = static_cast<const Image *>(untyped_ros_message);
  size_t end = current_alignment;
  end += get_serialized_size_std_msgs__msg__Header(&msg->header, end);
  end += uint32_size(end);  // height
  end += uint32_size(end);  // width
  end += compat_cdr::string_size(end, msg->encoding);
  end += 1;                 // is_bigendian
  end += uint32_size(end);  // step
  end += compat_cdr::bytes_size(end, msg->data);
  return end - current_alignment;
}

// The encoding and the pixel data have no upper bound: the result counts the
// fixed parts only, and the type is neither bounded nor plain.
size_t max_serialized_size_sensor_msgs__msg__Image(bool &full_bounded, bool &is_plain,
                                                   size_t current_alignment) {
  size_t end = current_alignment;
  bool header_bounded = true;
  bool header_plain = true;
  end += max_serialized_size_std_msgs__msg__Header(header_bounded, header_plain, end);
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

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, sensor_msgs, msg, Image)() {
  return &handle.handle;
}

}  // extern "C"
