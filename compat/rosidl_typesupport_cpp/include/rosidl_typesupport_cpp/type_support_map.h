#ifndef ROSIDL_TYPESUPPORT_CPP__TYPE_SUPPORT_MAP_H_
#define ROSIDL_TYPESUPPORT_CPP__TYPE_SUPPORT_MAP_H_

// The C++ dispatch handles carry the same map as the C ones.
#include "rosidl_typesupport_c/type_support_map.h"

#endif  // ROSIDL_TYPESUPPORT_CPP__TYPE_SUPPORT_MAP_H_
