// CDR type support of std_msgs/msg/Header for its C structure: the stamp
// (through the Time type support), then the frame id as a CDR string.
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_c.h"

#include <fastcdr/Cdr.h>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_c.h"
#include "cdr_fields.hpp"
#include "cdr_message_handle.hpp"
#include "rosidl_typesupport_fastrtps_c/identifier.h"
#include "std_msgs/msg/detail/header__struct.h"

using eprosima::fastcdr::Cdr;
using Header = std_msgs__msg__Header;

namespace {

const message_type_support_callbacks_t &time_callbacks() {
  return *static_cast<const message_type_support_callbacks_t *>(
      ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c,
                                                        builtin_interfaces, msg, Time)()
          ->data);
}

bool serialize(const void *untyped, Cdr &cdr) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  const Header *msg = static_cast<const Header *>(untyped);
  return time_callbacks().cdr_serialize(&msg->stamp, cdr) &&
         compat_cdr::write_string(cdr, msg->frame_id);
}

bool deserialize(Cdr &cdr, void *untyped) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  Header *msg = static_cast<Header *>(untyped);
  return time_callbacks().cdr_deserialize(cdr, &msg->stamp) &&
         compat_cdr::read_string(cdr, msg->frame_id);
}

compat_cdr::MessageHandle handle{
    {"std_msgs::msg", "Header", serialize, deserialize,
     compat_cdr::whole_size<get_serialized_size_std_msgs__msg__Header>,
     compat_cdr::max_size_and_key<max_serialized_size_std_msgs__msg__Header>},
    {nullptr, &handle.callbacks, get_message_typesupport_handle_function}};

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load =
    compat_cdr::fill_at_load(handle, rosidl_typesupport_fastrtps_c__identifier);

}  // namespace

extern "C" {

size_t get_serialized_size_std_msgs__msg__Header(const void *untyped_ros_message,
                                                 size_t current_alignment) {
  const Header *msg = static_cast<const Header *>(untyped_ros_message);
  size_t end = current_alignment;
  end += get_serialized_size_builtin_interfaces__msg__Time(&msg->stamp, end);
  end += compat_cdr::string_size(end, msg->frame_id);
  return end - current_alignment;
}

// A string has no upper bound: the result counts its length prefix and
// terminating zero only, and the type is neither bounded nor plain.
size_t max_serialized_size_std_msgs__msg__Header(bool &full_bounded, bool &is_plain,
                                                 size_t current_alignment) {
  size_t end = current_alignment;
  bool stamp_bounded = true;
  bool stamp_plain = true;
  end += max_serialized_size_builtin_interfaces__msg__Time(stamp_bounded, stamp_plain, end);
  end += compat_cdr::prefixed_size(end, 1);
  full_bounded = false;
  is_plain = false;
  return end - current_alignment;
}

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, std_msgs, msg, Header)() {
  return &handle.handle;
}

}  // extern "C"
