// Identifier of the C type-support dispatch.
#ifndef ROSIDL_TYPESUPPORT_C__IDENTIFIER_H_
#define ROSIDL_TYPESUPPORT_C__IDENTIFIER_H_

#include "rosidl_typesupport_c/visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

// "rosidl_typesupport_c": the identifier of C dispatch handles, whose data is
// a type_support_map_t naming the concrete C families.
ROSIDL_TYPESUPPORT_C_PUBLIC extern const char *rosidl_typesupport_c__typesupport_identifier;

#ifdef __cplusplus
}
#endif

#endif  // ROSIDL_TYPESUPPORT_C__IDENTIFIER_H_
