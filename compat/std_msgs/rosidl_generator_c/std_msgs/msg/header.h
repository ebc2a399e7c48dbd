// std_msgs/msg/Header: time stamp and coordinate frame of a message's data.
#ifndef STD_MSGS__MSG__HEADER_H_
#define STD_MSGS__MSG__HEADER_H_

#include "std_msgs/msg/detail/header__functions.h"
#include "std_msgs/msg/detail/header__struct.h"

#endif  // STD_MSGS__MSG__HEADER_H_
