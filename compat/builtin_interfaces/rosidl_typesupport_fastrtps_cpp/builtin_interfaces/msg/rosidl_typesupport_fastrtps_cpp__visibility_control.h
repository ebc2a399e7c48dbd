// Export macro of the builtin_interfaces C++ CDR type-support library, which is built with
// hidden visibility: only what this macro marks is exported.
#ifndef BUILTIN_INTERFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
#define BUILTIN_INTERFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_

#if defined(__GNUC__)
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_builtin_interfaces \
  __attribute__((visibility("default")))
#else
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_builtin_interfaces
#endif
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_IMPORT_builtin_interfaces
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_builtin_interfaces \
  ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_builtin_interfaces

#endif  // BUILTIN_INTERFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
