// Uses the installed package the way a ROS 2 program would: creates a
// response, sends it through its CDR type-support handles (C and C++ types)
// and compares.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/camera.hpp"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_cpp.hpp"
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

  // The C++ types through the C++ CDR family's per-type functions.
  namespace cdr_cpp = kestrel_ifaces::srv::typesupport_fastrtps_cpp;
  kestrel_ifaces::srv::Camera::Response::SharedPtr cpp_sent =
      std::make_shared<kestrel_ifaces::srv::Camera::Response>();
  kestrel_ifaces::srv::Camera::Response cpp_received;
  cpp_sent->image.encoding = "rgb8";
  cpp_sent->image.data.assign(12, 7);
  std::vector<char> cpp_storage(cdr_cpp::get_serialized_size(*cpp_sent, 0));
  eprosima::fastcdr::FastBuffer cpp_buffer(cpp_storage.data(), cpp_storage.size());
  eprosima::fastcdr::Cdr cpp_out(cpp_buffer);
  eprosima::fastcdr::Cdr cpp_in(cpp_buffer);
  ok = ok && cdr_cpp::cdr_serialize(*cpp_sent, cpp_out) &&
       cdr_cpp::cdr_deserialize(cpp_in, cpp_received) && cpp_received == *cpp_sent;

  kestrel_ifaces__srv__Camera_Response__destroy(sent);
  kestrel_ifaces__srv__Camera_Response__destroy(received);
  std::puts(ok ? "consumer: ok" : "consumer: round trip failed");
  return ok ? 0 : 1;
}
