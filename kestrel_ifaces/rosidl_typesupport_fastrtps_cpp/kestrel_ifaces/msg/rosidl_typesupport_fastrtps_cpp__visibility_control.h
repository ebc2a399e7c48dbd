// Export macro of the kestrel_ifaces C++ CDR type-support library, which is built
// with hidden visibility: only what this macro marks is exported.
#ifndef KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
#define KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_

#if defined(__GNUC__)
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_kestrel_ifaces __attribute__((visibility("default")))
#else
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_kestrel_ifaces
#endif
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_IMPORT_kestrel_ifaces
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_kestrel_ifaces \
  ROSIDL_TYPESUPPORT_FASTRTPS_CPP_EXPORT_kestrel_ifaces

#endif  // KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_FASTRTPS_CPP__VISIBILITY_CONTROL_H_
