// Identifier of the C++ CDR type-support family: the text that tags its
// handles, so the middleware can tell them from other families' handles.
#ifndef ROSIDL_TYPESUPPORT_FASTRTPS_CPP__IDENTIFIER_HPP_
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP__IDENTIFIER_HPP_

#include "rosidl_typesupport_fastrtps_cpp/visibility_control.h"

namespace rosidl_typesupport_fastrtps_cpp {

// "rosidl_typesupport_fastrtps_cpp"
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC
extern const char *typesupport_identifier;

}  // namespace rosidl_typesupport_fastrtps_cpp

#endif  // ROSIDL_TYPESUPPORT_FASTRTPS_CPP__IDENTIFIER_HPP_
