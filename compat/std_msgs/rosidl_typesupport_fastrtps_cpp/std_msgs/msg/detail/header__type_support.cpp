// C++ CDR type support of std_msgs/msg/Header: the stamp (through the Time
// type support), then the frame id as a CDR string, byte for byte as the C
// type support writes them.
#include "std_msgs/msg/detail/header__rosidl_typesupport_fastrtps_cpp.hpp"

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_cpp.hpp"
#include "cdr_cpp_callbacks.hpp"
#include "cdr_message_handle.hpp"
#include "cdr_fields.hpp"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"

using eprosima::fastcdr::Cdr;
using std_msgs::msg::Header;
namespace time_cdr = builtin_interfaces::msg::typesupport_fastrtps_cpp;

namespace std_msgs {
namespace msg {
namespace typesupport_fastrtps_cpp {

bool cdr_serialize(const Header &ros_message, Cdr &cdr) {
  return time_cdr::cdr_serialize(ros_message.stamp, cdr) &&
         compat_cdr::write_string(cdr, ros_message.frame_id);
}

bool cdr_deserialize(Cdr &cdr, Header &ros_message) {
  if (!time_cdr::cdr_deserialize(cdr, ros_message.stamp)) {
    return false;
  }
  compat_cdr::read_string(cdr, ros_message.frame_id);
  return true;
}

size_t get_serialized_size(const Header &ros_message, size_t current_alignment) {
  size_t end = current_alignment;
  end += time_cdr::get_serialized_size(ros_message.stamp, end);
  end += compat_cdr::string_size(end, ros_message.frame_id);
  return end - current_alignment;
}

// A string has no upper bound: the result counts its length prefix and
// terminating zero only, and the type is neither bounded nor plain.
size_t max_serialized_size_Header(bool &full_bounded, bool &is_plain, size_t current_alignment) {
  size_t end = current_alignment;
  bool stamp_bounded = true;
  bool stamp_plain = true;
  end += time_cdr::max_serialized_size_Time(stamp_bounded, stamp_plain, end);
  end += compat_cdr::prefixed_size(end, 1);
  full_bounded = false;
  is_plain = false;
  return end - current_alignment;
}

}  // namespace typesupport_fastrtps_cpp
}  // namespace msg
}  // namespace std_msgs

namespace {

namespace ts = std_msgs::msg::typesupport_fastrtps_cpp;
using Callbacks = compat_cdr::CppCallbacks<Header, ts::cdr_serialize, ts::cdr_deserialize,
                                           ts::get_serialized_size, ts::max_serialized_size_Header>;

compat_cdr::MessageHandle message{
    Callbacks::record("std_msgs::msg", "Header"),
    {nullptr, &message.callbacks, get_message_typesupport_handle_function}};

// The identifier is another library's variable: the contract fixes the
// timing at load.
const bool filled_at_load =
    compat_cdr::fill_at_load(message, rosidl_typesupport_fastrtps_cpp::typesupport_identifier);

}  // namespace

namespace rosidl_typesupport_fastrtps_cpp {

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_std_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<std_msgs::msg::Header>() {
  return &message.handle;
}

}  // namespace rosidl_typesupport_fastrtps_cpp

extern "C" {

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, std_msgs, msg, Header)() {
  return &message.handle;
}

}  // extern "C"
