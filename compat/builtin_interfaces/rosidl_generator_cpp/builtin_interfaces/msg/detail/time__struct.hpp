// C++ form of builtin_interfaces/msg/Time: a point in time as whole seconds
// and the nanoseconds past them.
#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_HPP_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_HPP_

#include <cstdint>
#include <memory>

#include "rosidl_runtime_cpp/message_initialization.hpp"

namespace builtin_interfaces {
namespace msg {

template <class ContainerAllocator>
struct Time_ {
  using Type = Time_<ContainerAllocator>;

  // ALL and ZERO clear both fields; SKIP and DEFAULTS_ONLY leave the memory
  // as it was (the type has no default values).
  explicit Time_(rosidl_runtime_cpp::MessageInitialization _init =
                     rosidl_runtime_cpp::MessageInitialization::ALL) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      this->sec = 0;
      this->nanosec = 0u;
    }
  }

  explicit Time_(const ContainerAllocator &, rosidl_runtime_cpp::MessageInitialization _init =
                                                 rosidl_runtime_cpp::MessageInitialization::ALL)
      : Time_(_init) {}

  int32_t sec;
  uint32_t nanosec;

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

  bool operator==(const Time_ &other) const {
    return this->sec == other.sec && this->nanosec == other.nanosec;
  }
  bool operator!=(const Time_ &other) const { return !(*this == other); }
};

using Time = Time_<std::allocator<void>>;

}  // namespace msg
}  // namespace builtin_interfaces

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_HPP_
