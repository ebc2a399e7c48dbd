// The callbacks record and type-support handle of a stand-in message's CDR
// type support, built from its two callbacks and its two size functions.
#ifndef COMPAT__CDR_MESSAGE_HANDLE_HPP_
#define COMPAT__CDR_MESSAGE_HANDLE_HPP_

#include <cstddef>
#include <cstdint>

#include "cdr_fields.hpp"
#include "rosidl_typesupport_fastrtps_c/identifier.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace compat_cdr {

using SizeFunction = size_t (*)(const void *, size_t);

// The callbacks' whole-message size: the size function from alignment 0.
template <SizeFunction Size>
uint32_t whole_size(const void *msg) {
  return static_cast<uint32_t>(Size(msg, 0));
}

// A message's record and the handle pointing at it. The identifier belongs
// to another library, so the handle is filled when this is constructed, at
// load.
struct MessageHandle {
  message_type_support_callbacks_t callbacks;
  rosidl_message_type_support_t handle;

  explicit MessageHandle(const message_type_support_callbacks_t &record)
      : callbacks(record),
        handle{rosidl_typesupport_fastrtps_c__identifier, &callbacks,
               get_message_typesupport_handle_function} {}
  MessageHandle(const MessageHandle &) = delete;
  MessageHandle &operator=(const MessageHandle &) = delete;
};

}  // namespace compat_cdr

#endif  // COMPAT__CDR_MESSAGE_HANDLE_HPP_
