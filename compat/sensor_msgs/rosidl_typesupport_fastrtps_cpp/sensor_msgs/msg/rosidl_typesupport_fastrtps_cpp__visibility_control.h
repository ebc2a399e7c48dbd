// Export macro of the sensor_msgs C++ CDR type-support library, which is built with
// hidden visibility: only what this macro marks is exported.
#ifndef SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
#define SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_

#if defined(__GNUC__)
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_sensor_msgs __attribute__((visibility("default")))
#else
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_sensor_msgs
#endif
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_IMPORT_sensor_msgs
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_sensor_msgs \
  ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_sensor_msgs

#endif  // SENSOR_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
