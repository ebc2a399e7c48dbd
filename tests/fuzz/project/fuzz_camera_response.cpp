// Feeds arbitrary bytes to the Camera response deserializer. Whatever it
// accepts must serialize again to exactly its computed size and read back
// equal; whatever it rejects must be rejected cleanly (false or a Fast-CDR
// exception), without touching memory outside the input or leaking.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
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
  if (read(input, msg, order)) {
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
        !kestrel_ifaces__srv__Camera_Response__are_equal(&msg, &again)) {
      std::abort();
    }
    kestrel_ifaces__srv__Camera_Response__fini(&again);
  }
  kestrel_ifaces__srv__Camera_Response__fini(&msg);
  return 0;
}
