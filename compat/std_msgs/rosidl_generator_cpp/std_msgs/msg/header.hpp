#ifndef STD_MSGS__MSG__HEADER_HPP_
#define STD_MSGS__MSG__HEADER_HPP_

#include "std_msgs/msg/detail/header__struct.hpp"
#include "std_msgs/msg/detail/header__traits.hpp"

#endif  // STD_MSGS__MSG__HEADER_HPP_
