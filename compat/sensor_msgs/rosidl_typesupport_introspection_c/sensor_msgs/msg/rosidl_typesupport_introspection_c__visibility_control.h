#ifndef SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_
#define SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_

// The library is built with hidden visibility; only names marked with this
// macro are exported.
#define ROSIDL_TYPESUPPORT_INTROSPECTION_C_PUBLIC_sensor_msgs __attribute__((visibility("default")))

#endif  // SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_INTROSPECTION_C__VISIBILITY_CONTROL_H_
