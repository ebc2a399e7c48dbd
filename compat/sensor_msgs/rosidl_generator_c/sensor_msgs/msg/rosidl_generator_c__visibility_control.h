// Export macro of the sensor_msgs C message library, which is built
// with hidden visibility: only what this macro marks is exported.
#ifndef SENSOR_MSGS__MSG__ROSIDL_GENERATOR_C__VISIBILITY_CONTROL_H_
#define SENSOR_MSGS__MSG__ROSIDL_GENERATOR_C__VISIBILITY_CONTROL_H_

#if defined(__GNUC__)
#define ROSIDL_GENERATOR_C_EXPORT_sensor_msgs __attribute__((visibility("default")))
#else
#define ROSIDL_GENERATOR_C_EXPORT_sensor_msgs
#endif
#define ROSIDL_GENERATOR_C_IMPORT_sensor_msgs
#define ROSIDL_GENERATOR_C_PUBLIC_sensor_msgs ROSIDL_GENERATOR_C_EXPORT_sensor_msgs

#endif  // SENSOR_MSGS__MSG__ROSIDL_GENERATOR_C__VISIBILITY_CONTROL_H_
