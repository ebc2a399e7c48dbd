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

// The callbacks' whole-message size: the size function from alignment 0; 0
// and the null-message line for a null message.
template <SizeFunction Size>
uint32_t whole_size(const void *msg) {
  if (!msg) {
    report_null_message();
    return 0;
  }
  return static_cast<uint32_t>(Size(msg, 0));
}

// A message's callbacks record and the handle pointing at it, defined as
//   MessageHandle handle{{...callbacks...},
//                        {nullptr, &handle.callbacks, get_message_typesupport_handle_function}};
// The identifier belongs to another library, so fill_at_load stores it.
struct MessageHandle {
  message_type_support_callbacks_t callbacks;
  rosidl_message_type_support_t handle;
};

// Stores the identifier into the handle, for a `filled_at_load` initialiser.
inline bool fill_at_load(MessageHandle &message) {
  message.handle.typesupport_identifier = rosidl_typesupport_fastrtps_c__identifier;
  return true;
}

}  // namespace compat_cdr

#endif  // COMPAT__CDR_MESSAGE_HANDLE_HPP_
