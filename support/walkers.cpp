#include "walkers.hpp"

#include <string>

#include "rosidl_runtime_c/string.h"
#include "rosidl_runtime_c/string_functions.h"
#include "walker.hpp"

namespace walk_detail {

size_t primitive_size(uint8_t type_id) {
  switch (type_id) {
    case rosidl_typesupport_introspection_c__ROS_TYPE_FLOAT:
      return sizeof(float);
    case rosidl_typesupport_introspection_c__ROS_TYPE_DOUBLE:
      return sizeof(double);
    case rosidl_typesupport_introspection_c__ROS_TYPE_LONG_DOUBLE:
      return sizeof(long double);
    case rosidl_typesupport_introspection_c__ROS_TYPE_CHAR:
    case rosidl_typesupport_introspection_c__ROS_TYPE_BOOLEAN:
    case rosidl_typesupport_introspection_c__ROS_TYPE_OCTET:
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT8:
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT8:
      return 1;
    case rosidl_typesupport_introspection_c__ROS_TYPE_WCHAR:
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT16:
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT16:
      return 2;
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT32:
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT32:
      return 4;
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT64:
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT64:
      return 8;
    default:
      return 0;
  }
}

namespace {
template <typename T>
std::string text_of(const void *value) {
  T out;
  std::memcpy(&out, value, sizeof(T));
  return std::to_string(out);
}
}  // namespace

std::string primitive_text(uint8_t type_id, const void *value) {
  switch (type_id) {
    case rosidl_typesupport_introspection_c__ROS_TYPE_FLOAT:
      return text_of<float>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_DOUBLE:
      return text_of<double>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_LONG_DOUBLE:
      return text_of<long double>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT8:
      return text_of<int8_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT16:
      return text_of<int16_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_WCHAR:
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT16:
      return text_of<uint16_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT32:
      return text_of<int32_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT32:
      return text_of<uint32_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_INT64:
      return text_of<int64_t>(value);
    case rosidl_typesupport_introspection_c__ROS_TYPE_UINT64:
      return text_of<uint64_t>(value);
    default:  // the one-byte types
      return text_of<uint8_t>(value);
  }
}

// C tables: rosidl_runtime_c strings; resizing can fail.
struct CTables {
  using Members = rosidl_typesupport_introspection_c__MessageMembers;
  using Member = rosidl_typesupport_introspection_c__MessageMember;

  static bool assign_string(const void *input, void *output) {
    const auto *from = static_cast<const rosidl_runtime_c__String *>(input);
    return rosidl_runtime_c__String__assignn(static_cast<rosidl_runtime_c__String *>(output),
                                             from->data, from->size);
  }
  static std::string string_text(const void *value) {
    const auto *text = static_cast<const rosidl_runtime_c__String *>(value);
    return std::string(text->data, text->size);
  }
  static bool resize(const Member &member, void *sequence, size_t size) {
    return member.resize_function(sequence, size);
  }
};

// C++ tables: std::string; resizing throws rather than fails.
struct CppTables {
  using Members = rosidl_typesupport_introspection_cpp::MessageMembers;
  using Member = rosidl_typesupport_introspection_cpp::MessageMember;

  static bool assign_string(const void *input, void *output) {
    *static_cast<std::string *>(output) = *static_cast<const std::string *>(input);
    return true;
  }
  static std::string string_text(const void *value) {
    return *static_cast<const std::string *>(value);
  }
  static bool resize(const Member &member, void *sequence, size_t size) {
    member.resize_function(sequence, size);
    return true;
  }
};

}  // namespace walk_detail

namespace walk_c {
using Walker = walk_detail::Walker<walk_detail::CTables>;
bool copy(const Members *members, const void *input, void *output) {
  return Walker::copy(members, input, output);
}
bool equal(const Members *members, const void *lhs, const void *rhs) {
  return Walker::equal(members, lhs, rhs);
}
std::string print(const Members *members, const void *message) {
  std::string out;
  Walker::print(members, message, 0, out);
  return out;
}
}  // namespace walk_c

namespace walk_cpp {
using Walker = walk_detail::Walker<walk_detail::CppTables>;
bool copy(const Members *members, const void *input, void *output) {
  return Walker::copy(members, input, output);
}
bool equal(const Members *members, const void *lhs, const void *rhs) {
  return Walker::equal(members, lhs, rhs);
}
std::string print(const Members *members, const void *message) {
  std::string out;
  Walker::print(members, message, 0, out);
  return out;
}
}  // namespace walk_cpp
