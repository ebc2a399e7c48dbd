// C++ form of sensor_msgs/msg/Image: an uncompressed picture, its geometry,
// pixel encoding and the raw bytes, row after row.
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_HPP_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_HPP_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rosidl_runtime_cpp/message_initialization.hpp"
#include "std_msgs/msg/detail/header__struct.hpp"

namespace sensor_msgs {
namespace msg {

template <class ContainerAllocator>
struct Image_ {
  using Type = Image_<ContainerAllocator>;
  using _header_type = std_msgs::msg::Header_<ContainerAllocator>;
  using _height_type = uint32_t;
  using _width_type = uint32_t;
  using _encoding_type = std::basic_string<
      char, std::char_traits<char>,
      typename std::allocator_traits<ContainerAllocator>::template rebind_alloc<char>>;
  using _is_bigendian_type = uint8_t;
  using _step_type = uint32_t;
  using _data_type = std::vector<
      uint8_t, typename std::allocator_traits<ContainerAllocator>::template rebind_alloc<uint8_t>>;

  // The strings and the byte vector always start empty; ALL and ZERO also
  // clear the numeric fields, the other modes leave them as the memory held.
  explicit Image_(rosidl_runtime_cpp::MessageInitialization _init =
                      rosidl_runtime_cpp::MessageInitialization::ALL)
      : header(_init) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      clear_scalars();
    }
  }

  explicit Image_(const ContainerAllocator &_alloc,
                  rosidl_runtime_cpp::MessageInitialization _init =
                      rosidl_runtime_cpp::MessageInitialization::ALL)
      : header(_alloc, _init), encoding(_alloc), data(_alloc) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      clear_scalars();
    }
  }

  _header_type header;
  _height_type height;
  _width_type width;
  _encoding_type encoding;
  _is_bigendian_type is_bigendian;
  _step_type step;
  _data_type data;

  // Pointer types, as client libraries name them.
  using RawPtr = Type *;
  using ConstRawPtr = const Type *;
  using SharedPtr = std::shared_ptr<Type>;
  using ConstSharedPtr = std::shared_ptr<const Type>;
  template <typename Deleter = std::default_delete<Type>>
  using UniquePtrWithDeleter = std::unique_ptr<Type, Deleter>;
  using UniquePtr = UniquePtrWithDeleter<>;
  template <typename Deleter = std::default_delete<Type>>
  using ConstUniquePtrWithDeleter = std::unique_ptr<const Type, Deleter>;
  using ConstUniquePtr = ConstUniquePtrWithDeleter<>;
  using WeakPtr = std::weak_ptr<Type>;
  using ConstWeakPtr = std::weak_ptr<const Type>;

  bool operator==(const Image_ &other) const {
    return this->header == other.header && this->height == other.height &&
           this->width == other.width && this->encoding == other.encoding &&
           this->is_bigendian == other.is_bigendian && this->step == other.step &&
           this->data == other.data;
  }
  bool operator!=(const Image_ &other) const { return !(*this == other); }

 private:
  void clear_scalars() {
    this->height = 0u;
    this->width = 0u;
    this->encoding = "";
    this->is_bigendian = 0;
    this->step = 0u;
  }
};

using Image = Image_<std::allocator<void>>;

}  // namespace msg
}  // namespace sensor_msgs

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__STRUCT_HPP_
