// CDR encoding of the variable-length fields of the stand-in messages, in
// their C forms (rosidl_runtime_c strings and sequences) and their C++ forms
// (std::string, std::vector<uint8_t>), byte for byte alike: a string is a
// uint32 length (terminating zero included), the characters and the zero; a
// byte sequence is a uint32 length and the bytes.
//
// Reading checks every length against the bytes left in the stream before it
// allocates anything, and a stream that runs short raises the CDR library's
// NotEnoughMemoryException, as its own primitive reads do.
#ifndef COMPAT__CDR_FIELDS_HPP_
#define COMPAT__CDR_FIELDS_HPP_

#include <fastcdr/Cdr.h>
#include <fastcdr/exceptions/NotEnoughMemoryException.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "rosidl_runtime_c/primitives_sequence.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string.h"
#include "rosidl_runtime_c/string_functions.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace compat_cdr {

constexpr size_t kLengthBytes = 4;  // uint32 length prefix

// The one line a (de)serialize callback writes for a null message.
inline void report_null_message() {
  static const char line[] = "ros message handle is null\n";
  std::fwrite(line, 1, sizeof(line) - 1, stderr);
}

// Bounds key of max_serialized_size: plain takes precedence over bounded.
inline char bounds_key(bool bounded, bool plain) {
  if (plain) {
    return ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE;
  }
  return bounded ? ROSIDL_TYPESUPPORT_FASTRTPS_BOUNDED_TYPE
                 : ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE;
}

using SizeFunction = size_t (*)(const void *, size_t);
using MaxSizeFunction = size_t (*)(bool &, bool &, size_t);

// The C callbacks' whole-message size: the size function from alignment 0;
// 0 and the null-message line for a null message.
template <SizeFunction Size>
uint32_t whole_size(const void *msg) {
  if (!msg) {
    report_null_message();
    return 0;
  }
  return static_cast<uint32_t>(Size(msg, 0));
}

// The callbacks' maximum size, with the bounds key the max-size function's
// two flags give.
template <MaxSizeFunction MaxSize>
size_t max_size_and_key(char &bounds_info) {
  bool bounded = true;
  bool plain = true;
  const size_t size = MaxSize(bounded, plain, 0);
  bounds_info = bounds_key(bounded, plain);
  return size;
}

// Bytes a length prefix and `count` following bytes take from `alignment`.
inline size_t prefixed_size(size_t alignment, size_t count) {
  return eprosima::fastcdr::Cdr::alignment(alignment, kLengthBytes) + kLengthBytes + count;
}

inline size_t string_size(size_t alignment, const rosidl_runtime_c__String &str) {
  return prefixed_size(alignment, str.size + 1);
}

inline size_t bytes_size(size_t alignment, const rosidl_runtime_c__uint8__Sequence &seq) {
  return prefixed_size(alignment, seq.size);
}

// False for a string that breaks its invariants (no storage, no terminating
// zero at `size`) or is too long for a uint32 length.
inline bool write_string(eprosima::fastcdr::Cdr &cdr, const rosidl_runtime_c__String &str) {
  if (!str.data || str.size >= str.capacity || str.data[str.size] != '\0' ||
      str.size >= std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  cdr << static_cast<uint32_t>(str.size + 1);
  cdr.serializeArray(str.data, str.size + 1);
  return true;
}

inline bool write_bytes(eprosima::fastcdr::Cdr &cdr, const rosidl_runtime_c__uint8__Sequence &seq) {
  if ((!seq.data && seq.size > 0) || seq.size > std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  cdr << static_cast<uint32_t>(seq.size);
  cdr.serializeArray(seq.data, seq.size);
  return true;
}

// Reads a length prefix and checks that that many bytes follow, before
// anything is allocated for them. The check steps over the bytes and back
// again, which fails without allocating when the stream's buffer is shorter.
// That holds for streams over fixed storage, which is what a middleware and
// this project read from; a stream over a growable FastBuffer grows on the
// step instead (Fast-CDR offers no other way to learn the bytes left, and
// reads such a stream up to its capacity, not its written length, anyway).
inline uint32_t read_length(eprosima::fastcdr::Cdr &cdr) {
  uint32_t length = 0;
  cdr >> length;
  eprosima::fastcdr::Cdr::state after_length(cdr);
  bool present = cdr.jump(length);
  cdr.setState(after_length);
  if (!present) {
    throw eprosima::fastcdr::exception::NotEnoughMemoryException(
        eprosima::fastcdr::exception::NotEnoughMemoryException::NOT_ENOUGH_MEMORY_MESSAGE_DEFAULT);
  }
  return length;
}

// The string is a C string: it ends at its first zero, or, when the stream
// carries none, after all its characters.
inline bool read_string(eprosima::fastcdr::Cdr &cdr, rosidl_runtime_c__String &str) {
  eprosima::fastcdr::Cdr::state before(cdr);
  read_length(cdr);  // refuse a length the stream cannot hold before reading
  cdr.setState(before);
  std::string text;
  cdr >> text;
  return rosidl_runtime_c__String__assignn(&str, text.data(), strnlen(text.data(), text.size()));
}

// Reuses the sequence's storage when the length is unchanged.
inline bool read_bytes(eprosima::fastcdr::Cdr &cdr, rosidl_runtime_c__uint8__Sequence &seq) {
  uint32_t length = read_length(cdr);
  if (seq.size != length || (length > 0 && !seq.data)) {
    rosidl_runtime_c__uint8__Sequence__fini(&seq);
    if (!rosidl_runtime_c__uint8__Sequence__init(&seq, length)) {
      return false;
    }
  }
  cdr.deserializeArray(seq.data, length);
  return true;
}

// ------------------------------------------------ the C++ forms of the fields

// Counts the whole string and a zero, as write_string writes it.
inline size_t string_size(size_t alignment, const std::string &str) {
  return prefixed_size(alignment, str.size() + 1);
}

inline size_t bytes_size(size_t alignment, const std::vector<uint8_t> &seq) {
  return prefixed_size(alignment, seq.size());
}

// Writes all the string's characters, as the C form writes its `size` ones;
// false when it is too long for a uint32 length.
inline bool write_string(eprosima::fastcdr::Cdr &cdr, const std::string &str) {
  if (str.size() >= std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  cdr << static_cast<uint32_t>(str.size() + 1);
  cdr.serializeArray(str.c_str(), str.size() + 1);
  return true;
}

inline bool write_bytes(eprosima::fastcdr::Cdr &cdr, const std::vector<uint8_t> &seq) {
  if (seq.size() > std::numeric_limits<uint32_t>::max()) {
    return false;
  }
  cdr << static_cast<uint32_t>(seq.size());
  cdr.serializeArray(seq.data(), seq.size());
  return true;
}

// Both reads go through the stream's array read after the length check (a
// jump over the bytes would leave the stream's alignment state behind).
// The string ends at its first zero, as in the C form.
inline void read_string(eprosima::fastcdr::Cdr &cdr, std::string &str) {
  const uint32_t length = read_length(cdr);
  str.resize(length);
  cdr.deserializeArray(&str[0], length);
  str.resize(strnlen(str.c_str(), length));
}

// The vector's storage is reused when the length is unchanged.
inline void read_bytes(eprosima::fastcdr::Cdr &cdr, std::vector<uint8_t> &seq) {
  const uint32_t length = read_length(cdr);
  seq.resize(length);
  cdr.deserializeArray(seq.data(), length);
}

}  // namespace compat_cdr

#endif  // COMPAT__CDR_FIELDS_HPP_
