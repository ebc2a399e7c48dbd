// Export macro of the C type-support dispatch library.
#ifndef ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_
#define ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_

// The library is built with hidden visibility; only names marked with this
// macro are exported.
#define ROSIDL_TYPESUPPORT_C_PUBLIC __attribute__((visibility("default")))

#endif  // ROSIDL_TYPESUPPORT_C__VISIBILITY_CONTROL_H_
