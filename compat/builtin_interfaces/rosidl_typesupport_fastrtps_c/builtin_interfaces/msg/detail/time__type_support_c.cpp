// CDR type support of builtin_interfaces/msg/Time for its C structure:
// int32 sec and uint32 nanosec, each aligned to 4.
#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_fastrtps_c.h"

#include <fastcdr/Cdr.h>

#include <cstddef>

#include "builtin_interfaces/msg/detail/time__struct.h"
#include "cdr_fields.hpp"
#include "cdr_message_handle.hpp"
#include "rosidl_typesupport_fastrtps_c/identifier.h"

using eprosima::fastcdr::Cdr;
using Time = builtin_interfaces__msg__Time;

namespace {

constexpr size_t kFieldBytes = 4;  // both fields are 32-bit

bool serialize(const void *untyped, Cdr &cdr) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  const Time *msg = static_cast<const Time *>(untyped);
  cdr << msg->sec << msg->nanosec;
  return true;
}

bool deserialize(Cdr &cdr, void *untyped) {
  if (!untyped) {
    compat_cdr::report_null_message();
    return false;
  }
  Time *msg = static_cast<Time *>(untyped);
  cdr >> msg->sec >> msg->nanosec;
  return true;
}

compat_cdr::MessageHandle handle{
    {"builtin_interfaces::msg", "Time", serialize, deserialize,
     compat_cdr::whole_size<get_serialized_size_builtin_interfaces__msg__Time>,
     compat_cdr::max_size_and_key<max_serialized_size_builtin_interfaces__msg__Time>},
    {nullptr, &handle.callbacks, get_message_typesupport_handle_function}};

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load =
    compat_cdr::fill_at_load(handle, rosidl_typesupport_fastrtps_c__identifier);

}  // namespace

extern "C" {

size_t get_serialized_size_builtin_interfaces__msg__Time(const void *, size_t current_alignment) {
  size_t end = current_alignment;
  end += Cdr::alignment(end, kFieldBytes) + kFieldBytes;  // sec
  end += Cdr::alignment(end, kFieldBytes) + kFieldBytes;  // nanosec
  return end - current_alignment;
}

size_t max_serialized_size_builtin_interfaces__msg__Time(bool &full_bounded, bool &is_plain,
                                                         size_t current_alignment) {
  full_bounded = true;
  size_t size = get_serialized_size_builtin_interfaces__msg__Time(nullptr, current_alignment);
  // Plain when no alignment byte is needed: the C layout is then the CDR one.
  is_plain = offsetof(Time, nanosec) + kFieldBytes == size;
  return size;
}

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, builtin_interfaces, msg, Time)() {
  return &handle.handle;
}

}  // extern "C"
