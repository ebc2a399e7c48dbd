// C++ introspection of builtin_interfaces/msg/Time: two plain integer fields.
#include <cstddef>
#include <new>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_cpp.hpp"
#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "rosidl_typesupport_introspection_cpp/field_types.hpp"
#include "rosidl_typesupport_introspection_cpp/identifier.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

namespace builtin_interfaces {
namespace msg {
namespace rosidl_typesupport_introspection_cpp {

namespace intro = ::rosidl_typesupport_introspection_cpp;

void Time_init_function(void *message_memory, rosidl_runtime_cpp::MessageInitialization _init) {
  new (message_memory) builtin_interfaces::msg::Time(_init);
}

void Time_fini_function(void *message_memory) {
  static_cast<builtin_interfaces::msg::Time *>(message_memory)->~Time_();
}

static const intro::MessageMember Time_message_member_array[2] = {
    {"sec", intro::ROS_TYPE_INT32, 0, nullptr, false, 0, false,
     offsetof(builtin_interfaces::msg::Time, sec), nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
    {"nanosec", intro::ROS_TYPE_UINT32, 0, nullptr, false, 0, false,
     offsetof(builtin_interfaces::msg::Time, nanosec), nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
};

static const intro::MessageMembers Time_message_members = {"builtin_interfaces::msg",
                                                           "Time",
                                                           2,
                                                           sizeof(builtin_interfaces::msg::Time),
                                                           Time_message_member_array,
                                                           Time_init_function,
                                                           Time_fini_function};

// The identifier is a variable of another library: it is stored at load.
static rosidl_message_type_support_t Time_message_type_support_handle = {
    nullptr, &Time_message_members, get_message_typesupport_handle_function};

static bool fill_at_load() {
  Time_message_type_support_handle.typesupport_identifier = intro::typesupport_identifier;
  return true;
}

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_introspection_cpp
}  // namespace msg
}  // namespace builtin_interfaces

namespace rosidl_typesupport_introspection_cpp {

template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_builtin_interfaces const rosidl_message_type_support_t *
get_message_type_support_handle<builtin_interfaces::msg::Time>() {
  return &builtin_interfaces::msg::rosidl_typesupport_introspection_cpp::
      Time_message_type_support_handle;
}

}  // namespace rosidl_typesupport_introspection_cpp

extern "C" const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__builtin_interfaces__msg__Time() {
  return ::rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
      builtin_interfaces::msg::Time>();
}
