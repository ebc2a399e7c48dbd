// C++ introspection of std_msgs/msg/Header: a nested Time and a string.
#include <cstddef>
#include <new>

#include "builtin_interfaces/msg/detail/time__rosidl_typesupport_introspection_cpp.hpp"
#include "rosidl_typesupport_introspection_cpp/field_types.hpp"
#include "rosidl_typesupport_introspection_cpp/identifier.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_cpp.hpp"
#include "std_msgs/msg/detail/header__struct.hpp"

namespace std_msgs {
namespace msg {
namespace rosidl_typesupport_introspection_cpp {

namespace intro = ::rosidl_typesupport_introspection_cpp;

void Header_init_function(void *message_memory, rosidl_runtime_cpp::MessageInitialization _init) {
  new (message_memory) std_msgs::msg::Header(_init);
}

void Header_fini_function(void *message_memory) {
  static_cast<std_msgs::msg::Header *>(message_memory)->~Header_();
}

// The nested handle of `stamp` comes from another library: stored at load.
static intro::MessageMember Header_message_member_array[2] = {
    {"stamp", intro::ROS_TYPE_MESSAGE, 0, nullptr, false, 0, false,
     offsetof(std_msgs::msg::Header, stamp), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr},
    {"frame_id", intro::ROS_TYPE_STRING, 0, nullptr, false, 0, false,
     offsetof(std_msgs::msg::Header, frame_id), nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr},
};

static const intro::MessageMembers Header_message_members = {"std_msgs::msg",
                                                             "Header",
                                                             2,
                                                             sizeof(std_msgs::msg::Header),
                                                             Header_message_member_array,
                                                             Header_init_function,
                                                             Header_fini_function};

static rosidl_message_type_support_t Header_message_type_support_handle = {
    nullptr, &Header_message_members, get_message_typesupport_handle_function};

static bool fill_at_load() {
  Header_message_member_array[0].members_ =
      intro::get_message_type_support_handle<builtin_interfaces::msg::Time>();
  Header_message_type_support_handle.typesupport_identifier = intro::typesupport_identifier;
  return true;
}

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_introspection_cpp
}  // namespace msg
}  // namespace std_msgs

namespace rosidl_typesupport_introspection_cpp {

template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_std_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<std_msgs::msg::Header>() {
  return &std_msgs::msg::rosidl_typesupport_introspection_cpp::Header_message_type_support_handle;
}

}  // namespace rosidl_typesupport_introspection_cpp

extern "C" const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__std_msgs__msg__Header() {
  return ::rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
      std_msgs::msg::Header>();
}
