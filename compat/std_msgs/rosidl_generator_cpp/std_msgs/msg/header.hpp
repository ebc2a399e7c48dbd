#ifndef STD_MSGS__MSG__HEADER_HPP_
#define STD_MSGS__MSG__HEADER_HPP_

#include "std_msgs/msg/detail/header__struct.hpp"

#endif  // STD_MSGS__MSG__HEADER_HPP_
