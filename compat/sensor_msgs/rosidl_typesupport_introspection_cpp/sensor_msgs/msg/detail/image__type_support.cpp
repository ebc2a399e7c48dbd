// C++ introspection of sensor_msgs/msg/Image: a nested Header, scalars, two
// strings and the pixel bytes as an unbounded uint8 sequence reached through
// the member's sequence functions.
#include <cstddef>
#include <cstdint>
#include <new>

#include "rosidl_typesupport_introspection_cpp/field_types.hpp"
#include "rosidl_typesupport_introspection_cpp/identifier.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_introspection_cpp.hpp"
#include "sensor_msgs/msg/detail/image__struct.hpp"
#include "std_msgs/msg/detail/header__rosidl_typesupport_introspection_cpp.hpp"

namespace sensor_msgs {
namespace msg {
namespace rosidl_typesupport_introspection_cpp {

namespace intro = ::rosidl_typesupport_introspection_cpp;
using Bytes = sensor_msgs::msg::Image::_data_type;

void Image_init_function(void *message_memory, rosidl_runtime_cpp::MessageInitialization _init) {
  new (message_memory) sensor_msgs::msg::Image(_init);
}

void Image_fini_function(void *message_memory) {
  static_cast<sensor_msgs::msg::Image *>(message_memory)->~Image_();
}

// Sequence access to `data`; indices are the caller's to keep in range.
static size_t size_function__Image__data(const void *untyped_member) {
  return static_cast<const Bytes *>(untyped_member)->size();
}

static const void *get_const_function__Image__data(const void *untyped_member, size_t index) {
  return &(*static_cast<const Bytes *>(untyped_member))[index];
}

static void *get_function__Image__data(void *untyped_member, size_t index) {
  return &(*static_cast<Bytes *>(untyped_member))[index];
}

static void fetch_function__Image__data(const void *untyped_member, size_t index,
                                        void *untyped_value) {
  *static_cast<uint8_t *>(untyped_value) = (*static_cast<const Bytes *>(untyped_member))[index];
}

static void assign_function__Image__data(void *untyped_member, size_t index,
                                         const void *untyped_value) {
  (*static_cast<Bytes *>(untyped_member))[index] = *static_cast<const uint8_t *>(untyped_value);
}

static void resize_function__Image__data(void *untyped_member, size_t size) {
  static_cast<Bytes *>(untyped_member)->resize(size);
}

#define IMAGE_SCALAR(field, type_id)                                                        \
  {                                                                                         \
#field, type_id, 0, nullptr, false, 0, false, offsetof(sensor_msgs::msg::Image, field), \
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr                       \
  }

// The nested handle of `header` comes from another library: stored at load.
static intro::MessageMember Image_message_member_array[7] = {
    IMAGE_SCALAR(header, intro::ROS_TYPE_MESSAGE),
    IMAGE_SCALAR(height, intro::ROS_TYPE_UINT32),
    IMAGE_SCALAR(width, intro::ROS_TYPE_UINT32),
    IMAGE_SCALAR(encoding, intro::ROS_TYPE_STRING),
    IMAGE_SCALAR(is_bigendian, intro::ROS_TYPE_UINT8),
    IMAGE_SCALAR(step, intro::ROS_TYPE_UINT32),
    {"data", intro::ROS_TYPE_UINT8, 0, nullptr, true, 0, false,
     offsetof(sensor_msgs::msg::Image, data), nullptr, size_function__Image__data,
     get_const_function__Image__data, get_function__Image__data, fetch_function__Image__data,
     assign_function__Image__data, resize_function__Image__data},
};

#undef IMAGE_SCALAR

static const intro::MessageMembers Image_message_members = {"sensor_msgs::msg",
                                                            "Image",
                                                            7,
                                                            sizeof(sensor_msgs::msg::Image),
                                                            Image_message_member_array,
                                                            Image_init_function,
                                                            Image_fini_function};

static rosidl_message_type_support_t Image_message_type_support_handle = {
    nullptr, &Image_message_members, get_message_typesupport_handle_function};

static bool fill_at_load() {
  Image_message_member_array[0].members_ =
      intro::get_message_type_support_handle<std_msgs::msg::Header>();
  Image_message_type_support_handle.typesupport_identifier = intro::typesupport_identifier;
  return true;
}

// Filled when the library loads, the timing of kestrel_ifaces' handles.
static const bool filled_at_load = fill_at_load();

}  // namespace rosidl_typesupport_introspection_cpp
}  // namespace msg
}  // namespace sensor_msgs

namespace rosidl_typesupport_introspection_cpp {

template <>
ROSIDL_TYPESUPPORT_INTROSPECTION_CPP_PUBLIC_sensor_msgs const rosidl_message_type_support_t *
get_message_type_support_handle<sensor_msgs::msg::Image>() {
  return &sensor_msgs::msg::rosidl_typesupport_introspection_cpp::Image_message_type_support_handle;
}

}  // namespace rosidl_typesupport_introspection_cpp

extern "C" const rosidl_message_type_support_t *
rosidl_typesupport_introspection_cpp__get_message_type_support_handle__sensor_msgs__msg__Image() {
  return ::rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
      sensor_msgs::msg::Image>();
}
