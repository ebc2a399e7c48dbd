// Generic message walkers that know nothing of the message types: they copy,
// compare and print a message using only its introspection tables, recursing
// into nested messages and reaching sequences through the member's functions.
// One set for the C tables (C structures), one for the C++ tables (C++ types).
#ifndef KESTREL_SUPPORT_WALKERS_HPP_
#define KESTREL_SUPPORT_WALKERS_HPP_

#include <string>

#include "rosidl_typesupport_introspection_c/message_introspection.h"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"

// What print() gives for the tests' 1 × 1 rgb8 response (stamp 1700000000 s
// 250000000 ns, frame "kinect_rgb", pixel 3 10 17), in C and in C++ alike.
inline const char kPrintedOnePixelResponse[] =
    "image:\n"
    "  header:\n"
    "    stamp:\n"
    "      sec: 1700000000\n"
    "      nanosec: 250000000\n"
    "    frame_id: \"kinect_rgb\"\n"
    "  height: 1\n"
    "  width: 1\n"
    "  encoding: \"rgb8\"\n"
    "  is_bigendian: 0\n"
    "  step: 3\n"
    "  data: [3]\n"
    "    - 3\n"
    "    - 10\n"
    "    - 17\n";

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

#endif  // KESTREL_SUPPORT_WALKERS_HPP_
