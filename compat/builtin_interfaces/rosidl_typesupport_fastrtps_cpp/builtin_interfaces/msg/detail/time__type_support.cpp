// C++ CDR type support of builtin_interfaces/msg/Time: int32 sec and uint32
// nanosec, each aligned to 4, byte for byte as the C type support writes them.
#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_cpp.hpp"

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "cdr_cpp_callbacks.hpp"
#include "cdr_message_handle.hpp"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"

using builtin_interfaces::msg::Time;
using eprosima::fastcdr::Cdr;

namespace builtin_interfaces {
namespace msg {
namespace typesupport_fastrtps_cpp {

namespace {
constexpr size_t kFieldBytes = 4;  // both fields are 32-bit
}  // namespace

bool cdr_serialize(const Time &ros_message, Cdr &cdr) {
  cdr << ros_message.sec << ros_message.nanosec;
  return true;
}

bool cdr_deserialize(Cdr &cdr, Time &ros_message) {
  cdr >> ros_message.sec >> ros_message.nanosec;
  return true;
}

size_t get_serialized_size(const Time &, size_t current_alignment) {
  size_t end = current_alignment;
  end += Cdr::alignment(end, kFieldBytes) + kFieldBytes;  // sec
  end += Cdr::alignment(end, kFieldBytes) + kFieldBytes;  // nanosec
  return end - current_alignment;
}

size_t max_serialized_size_Time(bool &full_bounded, bool &is_plain, size_t current_alignment) {
  full_bounded = true;
  const size_t size = get_serialized_size(Time(), current_alignment);
  // Plain when no alignment byte is needed: the C++ layout is then the CDR one.
  is_plain = offsetof(Time, nanosec) + kFieldBytes == size;
  return size;
}

}  // namespace typesupport_fastrtps_cpp
}  // namespace msg
}  // namespace builtin_interfaces

namespace {

namespace ts = builtin_interfaces::msg::typesupport_fastrtps_cpp;
using Callbacks = compat_cdr::CppCallbacks<Time, ts::cdr_serialize, ts::cdr_deserialize,
                                           ts::get_serialized_size, ts::max_serialized_size_Time>;

compat_cdr::MessageHandle message{
    Callbacks::record("builtin_interfaces::msg", "Time"),
    {nullptr, &message.callbacks, get_message_typesupport_handle_function}};

// The identifier is another library's variable: the contract fixes the
// timing at load.
const bool filled_at_load =
    compat_cdr::fill_at_load(message, rosidl_typesupport_fastrtps_cpp::typesupport_identifier);

}  // namespace

namespace rosidl_typesupport_fastrtps_cpp {

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
get_message_type_support_handle<builtin_interfaces::msg::Time>() {
  return &message.handle;
}

}  // namespace rosidl_typesupport_fastrtps_cpp

extern "C" {

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, builtin_interfaces, msg, Time)() {
  return &message.handle;
}

}  // extern "C"
