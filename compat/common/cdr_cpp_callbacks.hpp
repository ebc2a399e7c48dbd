// The callbacks record of a stand-in message's C++ CDR type support, built
// from the four per-type functions other packages also call to embed it.
#ifndef COMPAT__CDR_CPP_CALLBACKS_HPP_
#define COMPAT__CDR_CPP_CALLBACKS_HPP_

#include <fastcdr/Cdr.h>

#include <cstddef>
#include <cstdint>

#include "cdr_fields.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace compat_cdr {

// The type-erased callbacks of C++ message type T over its typed functions.
// The record's callbacks refuse a null message with the usual one line.
template <typename T, bool (*Serialize)(const T &, eprosima::fastcdr::Cdr &),
          bool (*Deserialize)(eprosima::fastcdr::Cdr &, T &), size_t (*Size)(const T &, size_t),
          size_t (*MaxSize)(bool &, bool &, size_t)>
struct CppCallbacks {
  static bool serialize(const void *untyped, eprosima::fastcdr::Cdr &cdr) {
    if (!untyped) {
      report_null_message();
      return false;
    }
    return Serialize(*static_cast<const T *>(untyped), cdr);
  }

  static bool deserialize(eprosima::fastcdr::Cdr &cdr, void *untyped) {
    if (!untyped) {
      report_null_message();
      return false;
    }
    return Deserialize(cdr, *static_cast<T *>(untyped));
  }

  static uint32_t whole_size(const void *untyped) {
    if (!untyped) {
      report_null_message();
      return 0;
    }
    return static_cast<uint32_t>(Size(*static_cast<const T *>(untyped), 0));
  }

  static constexpr message_type_support_callbacks_t record(const char *message_namespace,
                                                           const char *message_name) {
    return {message_namespace, message_name, serialize,
            deserialize,       whole_size,   max_size_and_key<MaxSize>};
  }
};

}  // namespace compat_cdr

#endif  // COMPAT__CDR_CPP_CALLBACKS_HPP_
