// C++ form of std_msgs/msg/Header: a time stamp and the name of the
// coordinate frame the data belongs to.
#ifndef STD_MSGS__MSG__DETAIL__HEADER__STRUCT_HPP_
#define STD_MSGS__MSG__DETAIL__HEADER__STRUCT_HPP_

#include <memory>
#include <string>

#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "rosidl_runtime_cpp/message_initialization.hpp"

namespace std_msgs {
namespace msg {

template <class ContainerAllocator>
struct Header_ {
  using Type = Header_<ContainerAllocator>;
  using _stamp_type = builtin_interfaces::msg::Time_<ContainerAllocator>;
  using _frame_id_type = std::basic_string<
      char, std::char_traits<char>,
      typename std::allocator_traits<ContainerAllocator>::template rebind_alloc<char>>;

  explicit Header_(rosidl_runtime_cpp::MessageInitialization _init =
                       rosidl_runtime_cpp::MessageInitialization::ALL)
      : stamp(_init) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      this->frame_id = "";
    }
  }

  explicit Header_(const ContainerAllocator &_alloc,
                   rosidl_runtime_cpp::MessageInitialization _init =
                       rosidl_runtime_cpp::MessageInitialization::ALL)
      : stamp(_alloc, _init), frame_id(_alloc) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      this->frame_id = "";
    }
  }

  _stamp_type stamp;
  _frame_id_type frame_id;

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

  bool operator==(const Header_ &other) const {
    return this->stamp == other.stamp && this->frame_id == other.frame_id;
  }
  bool operator!=(const Header_ &other) const { return !(*this == other); }
};

using Header = Header_<std::allocator<void>>;

}  // namespace msg
}  // namespace std_msgs

#endif  // STD_MSGS__MSG__DETAIL__HEADER__STRUCT_HPP_
