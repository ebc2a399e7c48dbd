// Export macro of the std_msgs C++ CDR type-support library, which is built with
// hidden visibility: only what this macro marks is exported.
#ifndef STD_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
#define STD_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_

#if defined(__GNUC__)
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_std_msgs __attribute__((visibility("default")))
#else
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_std_msgs
#endif
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_IMPORT_std_msgs
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_std_msgs \
  ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_std_msgs

#endif  // STD_MSGS__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
