// The callbacks record and type-support handle of a stand-in message's CDR
// type support (C or C++ family), filled with the family's identifier at load.
#ifndef COMPAT__CDR_MESSAGE_HANDLE_HPP_
#define COMPAT__CDR_MESSAGE_HANDLE_HPP_

#include <cstddef>
#include <cstdint>

#include "cdr_fields.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace compat_cdr {

// A message's callbacks record and the handle pointing at it, defined as
//   MessageHandle handle{{...callbacks...},
//                        {nullptr, &handle.callbacks, get_message_typesupport_handle_function}};
// The identifier belongs to another library, so fill_at_load stores it.
struct MessageHandle {
  message_type_support_callbacks_t callbacks;
  rosidl_message_type_support_t handle;
};

// Stores the family's identifier into the handle, for a `filled_at_load`
// initialiser.
inline bool fill_at_load(MessageHandle &message, const char *identifier) {
  message.handle.typesupport_identifier = identifier;
  return true;
}

}  // namespace compat_cdr

#endif  // COMPAT__CDR_MESSAGE_HANDLE_HPP_
