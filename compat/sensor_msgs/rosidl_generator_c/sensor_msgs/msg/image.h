// sensor_msgs/msg/Image: an uncompressed image, row after row of pixels.
#ifndef SENSOR_MSGS__MSG__IMAGE_H_
#define SENSOR_MSGS__MSG__IMAGE_H_

#include "sensor_msgs/msg/detail/image__functions.h"
#include "sensor_msgs/msg/detail/image__struct.h"

#endif  // SENSOR_MSGS__MSG__IMAGE_H_
