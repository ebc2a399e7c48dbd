// Generic message walkers that know nothing of the message types: they copy,
// compare and print a message using only its introspection tables, recursing
// into nested messages and reaching sequences through the member's functions.
// One set for the C tables (C structures), one for the C++ tables (C++ types).
#ifndef KESTREL_TESTS_INTROSPECTION_WALKERS_HPP_
#define KESTREL_TESTS_INTROSPECTION_WALKERS_HPP_

#include <string>

#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

namespace walk_c {
using Members = rosidl_typesupport_introspection_c__MessageMembers;

// `output` must be an initialized message of the same type; false when a
// sequence cannot be resized or a string cannot be assigned.
bool copy(const Members *members, const void *input, void *output);
bool equal(const Members *members, const void *lhs, const void *rhs);
// One "name: value" line per field, nested fields indented by two spaces.
std::string print(const Members *members, const void *message);
}  // namespace walk_c

namespace walk_cpp {
using Members = rosidl_typesupport_introspection_cpp::MessageMembers;

bool copy(const Members *members, const void *input, void *output);
bool equal(const Members *members, const void *lhs, const void *rhs);
std::string print(const Members *members, const void *message);
}  // namespace walk_cpp

#endif  // KESTREL_TESTS_INTROSPECTION_WALKERS_HPP_
