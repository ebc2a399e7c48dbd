#ifndef BUILTIN_INTERFACES__MSG__TIME_HPP_
#define BUILTIN_INTERFACES__MSG__TIME_HPP_

#include "builtin_interfaces/msg/detail/time__struct.hpp"

#endif  // BUILTIN_INTERFACES__MSG__TIME_HPP_
