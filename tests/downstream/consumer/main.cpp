// Uses the installed package the way a ROS 2 program would: creates a
// response, sends it through its CDR type-support handle and compares.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstdio>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_cpp.hpp"
#include "rosidl_typesupport_introspection_cpp/message_introspection.hpp"
#include "rosidl_runtime_c/string_functions.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

int main() {
  kestrel_ifaces__srv__Camera_Response *sent = kestrel_ifaces__srv__Camera_Response__create();
  kestrel_ifaces__srv__Camera_Response *received = kestrel_ifaces__srv__Camera_Response__create();
  if (!sent || !received || !rosidl_runtime_c__String__assign(&sent->image.encoding, "rgb8")) {
    std::puts("consumer: cannot create messages");
    return 1;
  }
  sent->image.width = 640;

  const auto *callbacks = static_cast<const message_type_support_callbacks_t *>(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response()
          ->data);
  std::vector<char> storage(callbacks->get_serialized_size(sent));
  eprosima::fastcdr::FastBuffer buffer(storage.data(), storage.size());
  eprosima::fastcdr::Cdr out(buffer);
  eprosima::fastcdr::Cdr in(buffer);
  bool ok = callbacks->cdr_serialize(sent, out) && callbacks->cdr_deserialize(in, received) &&
            kestrel_ifaces__srv__Camera_Response__are_equal(sent, received);
  ok =
      ok &&
      static_cast<const rosidl_typesupport_introspection_cpp::MessageMembers *>(
          rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response()
              ->data)
              ->size_of_ == sizeof(kestrel_ifaces::srv::Camera_Response);

  kestrel_ifaces__srv__Camera_Response__destroy(sent);
  kestrel_ifaces__srv__Camera_Response__destroy(received);
  std::puts(ok ? "consumer: ok" : "consumer: round trip failed");
  return ok ? 0 : 1;
}
