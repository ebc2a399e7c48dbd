#ifndef KESTREL_IFACES__SRV__CAMERA_HPP_
#define KESTREL_IFACES__SRV__CAMERA_HPP_

#include "kestrel_ifaces/srv/detail/camera__struct.hpp"
#include "kestrel_ifaces/srv/detail/camera__traits.hpp"

#endif  // KESTREL_IFACES__SRV__CAMERA_HPP_
