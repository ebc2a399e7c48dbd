// C structures of the two messages of service kestrel_ifaces/srv/Camera.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_H_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_H_

#include <stddef.h>
#include <stdint.h>

#include "sensor_msgs/msg/detail/image__struct.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kestrel_ifaces__srv__Camera_Request {
  int16_t angle;  // tilt angle; no default, init leaves it as it is
} kestrel_ifaces__srv__Camera_Request;

typedef struct kestrel_ifaces__srv__Camera_Request__Sequence {
  kestrel_ifaces__srv__Camera_Request *data;  // NULL exactly when capacity is 0
  size_t size;                                // valid elements
  size_t capacity;                            // allocated and initialised elements
} kestrel_ifaces__srv__Camera_Request__Sequence;

typedef struct kestrel_ifaces__srv__Camera_Response {
  sensor_msgs__msg__Image image;
} kestrel_ifaces__srv__Camera_Response;

typedef struct kestrel_ifaces__srv__Camera_Response__Sequence {
  kestrel_ifaces__srv__Camera_Response *data;  // NULL exactly when capacity is 0
  size_t size;                                 // valid elements
  size_t capacity;                             // allocated and initialised elements
} kestrel_ifaces__srv__Camera_Response__Sequence;

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__STRUCT_H_
