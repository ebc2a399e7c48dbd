#ifndef STD_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_
#define STD_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_

// The library is built with hidden visibility; only names marked with this
// macro are exported.
#define ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_std_msgs __attribute__((visibility("default")))

#endif  // STD_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_
