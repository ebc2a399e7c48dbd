#ifndef KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_
#define KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_

// The library is built with hidden visibility; only names marked with this
// macro are exported.
#define ROSIDL_TYPESUPPORT_C_PUBLIC_kestrel_ifaces __attribute__((visibility("default")))

#endif  // KESTREL_IFACES__MSG__ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_
