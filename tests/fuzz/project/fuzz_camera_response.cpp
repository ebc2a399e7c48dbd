// Feeds arbitrary bytes to the Camera response deserializers of the C and the
// C++ family. Whatever the C family accepts must serialize again to exactly
// its computed size and read back equal; whatever it rejects must be rejected
// cleanly (false or a Fast-CDR exception), without touching memory outside
// the input or leaking. The C++ family must accept exactly the same inputs
// and encode what it read to the same bytes.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_cpp.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

namespace {

const message_type_support_callbacks_t &callbacks() {
  return *static_cast<const message_type_support_callbacks_t *>(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response()
          ->data);
}

bool read(std::vector<char> &bytes, kestrel_ifaces__srv__Camera_Response &msg,
          eprosima::fastcdr::Cdr::Endianness order) {
  eprosima::fastcdr::FastBuffer buffer(bytes.data(), bytes.size());
  eprosima::fastcdr::Cdr cdr(buffer, order);
  try {
    return callbacks().cdr_deserialize(cdr, &msg);
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return false;
  }
}

// The C++ family on the same input: false when it refuses; otherwise what it
// read, encoded again.
bool read_and_encode_cpp(std::vector<char> &bytes, eprosima::fastcdr::Cdr::Endianness order,
                         std::vector<char> &encoded) {
  namespace cpp = kestrel_ifaces::srv::typesupport_fastrtps_cpp;
  kestrel_ifaces::srv::Camera_Response msg;
  eprosima::fastcdr::FastBuffer buffer(bytes.data(), bytes.size());
  eprosima::fastcdr::Cdr in(buffer, order);
  try {
    if (!cpp::cdr_deserialize(in, msg)) {
      return false;
    }
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return false;
  }
  encoded.resize(cpp::get_serialized_size(msg, 0));
  eprosima::fastcdr::FastBuffer out_buffer(encoded.data(), encoded.size());
  eprosima::fastcdr::Cdr out(out_buffer, order);
  if (!cpp::cdr_serialize(msg, out) || out.getSerializedDataLength() != encoded.size()) {
    std::abort();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) {
    return 0;
  }
  // The first byte picks the byte order; an exact-size copy of the rest is
  // the stream, so any read past it is seen.
  auto order = (data[0] & 1) ? eprosima::fastcdr::Cdr::BIG_ENDIANNESS
                             : eprosima::fastcdr::Cdr::LITTLE_ENDIANNESS;
  std::vector<char> input(data + 1, data + size);
  kestrel_ifaces__srv__Camera_Response msg, again;
  if (!kestrel_ifaces__srv__Camera_Response__init(&msg)) {
    return 0;
  }
  std::vector<char> cpp_output;
  const bool cpp_accepted = read_and_encode_cpp(input, order, cpp_output);
  const bool accepted = read(input, msg, order);
  if (accepted != cpp_accepted) {
    std::abort();
  }
  if (accepted) {
    std::vector<char> output(callbacks().get_serialized_size(&msg));
    eprosima::fastcdr::FastBuffer buffer(output.data(), output.size());
    eprosima::fastcdr::Cdr cdr(buffer, order);
    if (!callbacks().cdr_serialize(&msg, cdr) || cdr.getSerializedDataLength() != output.size()) {
      std::abort();
    }
    if (!kestrel_ifaces__srv__Camera_Response__init(&again)) {
      std::abort();
    }
    if (!read(output, again, order) ||
        !kestrel_ifaces__srv__Camera_Response__are_equal(&msg, &again) || output != cpp_output) {
      std::abort();
    }
    kestrel_ifaces__srv__Camera_Response__fini(&again);
  }
  kestrel_ifaces__srv__Camera_Response__fini(&msg);
  return 0;
}
