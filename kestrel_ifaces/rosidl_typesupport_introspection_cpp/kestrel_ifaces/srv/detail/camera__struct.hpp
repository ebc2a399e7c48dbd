// C++ forms of the Camera service's messages: the request carries a tilt
// angle, the response one image.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_HPP_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_HPP_

#include <cstdint>
#include <memory>

#include "rosidl_runtime_cpp/message_initialization.hpp"
#include "sensor_msgs/msg/detail/image__struct.hpp"

namespace kestrel_ifaces {
namespace srv {

template <class ContainerAllocator>
struct Camera_Request_ {
  using Type = Camera_Request_<ContainerAllocator>;
  using _angle_type = int16_t;

  // ALL and ZERO clear the angle; SKIP and DEFAULTS_ONLY leave the memory as
  // it was (the field has no default value).
  explicit Camera_Request_(rosidl_runtime_cpp::MessageInitialization _init =
                               rosidl_runtime_cpp::MessageInitialization::ALL) {
    if (rosidl_runtime_cpp::MessageInitialization::ALL == _init ||
        rosidl_runtime_cpp::MessageInitialization::ZERO == _init) {
      this->angle = 0;
    }
  }

  explicit Camera_Request_(const ContainerAllocator &,
                           rosidl_runtime_cpp::MessageInitialization _init =
                               rosidl_runtime_cpp::MessageInitialization::ALL)
      : Camera_Request_(_init) {}

  _angle_type angle;

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

  bool operator==(const Camera_Request_ &other) const { return this->angle == other.angle; }
  bool operator!=(const Camera_Request_ &other) const { return !(*this == other); }
};

using Camera_Request = Camera_Request_<std::allocator<void>>;

template <class ContainerAllocator>
struct Camera_Response_ {
  using Type = Camera_Response_<ContainerAllocator>;
  using _image_type = sensor_msgs::msg::Image_<ContainerAllocator>;

  // The mode is handed to the image unchanged.
  explicit Camera_Response_(rosidl_runtime_cpp::MessageInitialization _init =
                                rosidl_runtime_cpp::MessageInitialization::ALL)
      : image(_init) {}

  explicit Camera_Response_(const ContainerAllocator &_alloc,
                            rosidl_runtime_cpp::MessageInitialization _init =
                                rosidl_runtime_cpp::MessageInitialization::ALL)
      : image(_alloc, _init) {}

  _image_type image;

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

  bool operator==(const Camera_Response_ &other) const { return this->image == other.image; }
  bool operator!=(const Camera_Response_ &other) const { return !(*this == other); }
};

using Camera_Response = Camera_Response_<std::allocator<void>>;

// The service type: names its two message types.
struct Camera {
  using Request = kestrel_ifaces::srv::Camera_Request;
  using Response = kestrel_ifaces::srv::Camera_Response;
};

}  // namespace srv
}  // namespace kestrel_ifaces

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_HPP_
