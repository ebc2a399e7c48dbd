// builtin_interfaces/msg/Time: a point in time, seconds and nanoseconds.
#ifndef BUILTIN_INTERFACES__MSG__TIME_H_
#define BUILTIN_INTERFACES__MSG__TIME_H_

#include "builtin_interfaces/msg/detail/time__functions.h"
#include "builtin_interfaces/msg/detail/time__struct.h"

#endif  // BUILTIN_INTERFACES__MSG__TIME_H_
