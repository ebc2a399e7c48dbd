// Service kestrel_ifaces/srv/Camera: request a tilt angle, get one image back.
#ifndef KESTREL_IFACES__SRV__CAMERA_H_
#define KESTREL_IFACES__SRV__CAMERA_H_

#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "kestrel_ifaces/srv/detail/camera__type_support.h"

#endif  // KESTREL_IFACES__SRV__CAMERA_H_
