// The walk itself, written once for both table kinds. `Tables` names the
// member record types of one kind and how that kind stores strings and
// resizes sequences; the two introspection enumerations share their numbers,
// so primitives are sized and printed alike.
#ifndef KESTREL_SUPPORT_WALKER_HPP_
#define KESTREL_SUPPORT_WALKER_HPP_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "rosidl_typesupport_introspection_c/field_types.h"

namespace walk_detail {

// Bytes of one element of a primitive type id; 0 for strings and messages.
size_t primitive_size(uint8_t type_id);

// The value of one primitive element in decimal.
std::string primitive_text(uint8_t type_id, const void *value);

template <typename Tables>
struct Walker {
  using Members = typename Tables::Members;
  using Member = typename Tables::Member;

  static const Members *nested(const Member &member) {
    return static_cast<const Members *>(member.members_->data);
  }
  static bool is_message(const Member &member) {
    return member.type_id_ == rosidl_typesupport_introspection_c__ROS_TYPE_MESSAGE;
  }
  static bool is_string(const Member &member) {
    return member.type_id_ == rosidl_typesupport_introspection_c__ROS_TYPE_STRING;
  }
  static const void *field(const void *message, const Member &member) {
    return static_cast<const char *>(message) + member.offset_;
  }
  static void *field(void *message, const Member &member) {
    return static_cast<char *>(message) + member.offset_;
  }

  // One element, or the whole field of a non-array member.
  static bool copy_element(const Member &member, const void *input, void *output) {
    if (is_message(member)) {
      return copy(nested(member), input, output);
    }
    if (is_string(member)) {
      return Tables::assign_string(input, output);
    }
    std::memcpy(output, input, primitive_size(member.type_id_));
    return true;
  }

  static bool equal_element(const Member &member, const void *lhs, const void *rhs) {
    if (is_message(member)) {
      return equal(nested(member), lhs, rhs);
    }
    if (is_string(member)) {
      return Tables::string_text(lhs) == Tables::string_text(rhs);
    }
    return std::memcmp(lhs, rhs, primitive_size(member.type_id_)) == 0;
  }

  static bool copy(const Members *members, const void *input, void *output) {
    for (uint32_t i = 0; i < members->member_count_; ++i) {
      const Member &member = members->members_[i];
      const void *from = field(input, member);
      void *to = field(output, member);
      if (!member.is_array_) {
        if (!copy_element(member, from, to)) {
          return false;
        }
        continue;
      }
      const size_t count = member.size_function(from);
      if (member.resize_function != nullptr && !Tables::resize(member, to, count)) {
        return false;
      }
      if (count == 0) {
        continue;
      }
      if (const size_t element = primitive_size(member.type_id_)) {
        // Primitive sequences are contiguous: one block copy.
        std::memcpy(member.get_function(to, 0), member.get_const_function(from, 0),
                    count * element);
        continue;
      }
      for (size_t k = 0; k < count; ++k) {
        if (!copy_element(member, member.get_const_function(from, k), member.get_function(to, k))) {
          return false;
        }
      }
    }
    return true;
  }

  static bool equal(const Members *members, const void *lhs, const void *rhs) {
    for (uint32_t i = 0; i < members->member_count_; ++i) {
      const Member &member = members->members_[i];
      const void *a = field(lhs, member);
      const void *b = field(rhs, member);
      if (!member.is_array_) {
        if (!equal_element(member, a, b)) {
          return false;
        }
        continue;
      }
      const size_t count = member.size_function(a);
      if (count != member.size_function(b)) {
        return false;
      }
      if (count == 0) {
        continue;
      }
      if (const size_t element = primitive_size(member.type_id_)) {
        if (std::memcmp(member.get_const_function(a, 0), member.get_const_function(b, 0),
                        count * element) != 0) {
          return false;
        }
        continue;
      }
      for (size_t k = 0; k < count; ++k) {
        if (!equal_element(member, member.get_const_function(a, k),
                           member.get_const_function(b, k))) {
          return false;
        }
      }
    }
    return true;
  }

  static void print_element(const Member &member, const void *value, int depth, std::string &out) {
    if (is_message(member)) {
      out += "\n";
      print(nested(member), value, depth + 1, out);
    } else if (is_string(member)) {
      out += " \"" + Tables::string_text(value) + "\"\n";
    } else {
      out += " " + primitive_text(member.type_id_, value) + "\n";
    }
  }

  static void print(const Members *members, const void *message, int depth, std::string &out) {
    const std::string indent(2 * static_cast<size_t>(depth), ' ');
    for (uint32_t i = 0; i < members->member_count_; ++i) {
      const Member &member = members->members_[i];
      const void *value = field(message, member);
      out += indent + member.name_ + ":";
      if (!member.is_array_) {
        print_element(member, value, depth, out);
        continue;
      }
      const size_t count = member.size_function(value);
      out += " [" + std::to_string(count) + "]\n";
      for (size_t k = 0; k < count; ++k) {
        out += indent + "  -";
        print_element(member, member.get_const_function(value, k), depth + 1, out);
      }
    }
  }
};

}  // namespace walk_detail

#endif  // KESTREL_SUPPORT_WALKER_HPP_
