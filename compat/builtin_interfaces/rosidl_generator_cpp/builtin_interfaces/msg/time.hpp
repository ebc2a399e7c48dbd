#ifndef BUILTIN_INTERFACES__MSG__TIME_HPP_
#define BUILTIN_INTERFACES__MSG__TIME_HPP_

#include "builtin_interfaces/msg/detail/time__struct.hpp"
#include "builtin_interfaces/msg/detail/time__traits.hpp"

#endif  // BUILTIN_INTERFACES__MSG__TIME_HPP_
