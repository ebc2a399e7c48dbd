// Reaches the C++ CDR family of the Camera service as a ROS 2 middleware does:
// from the C++ dispatch handle, by the family's identifier (the dispatch loads
// the family library by name), then sends a request and a response through
// the family's callbacks and compares.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstdio>
#include <vector>

#include "kestrel_ifaces/srv/camera.hpp"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_cpp/service_type_support.hpp"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"

namespace {

using kestrel_ifaces::srv::Camera;

// Serializes sent with the family's callbacks, reads it back into a fresh
// message and compares.
template <typename Message>
bool round_trip(const rosidl_message_type_support_t *members, const Message &sent) {
  const auto *callbacks = static_cast<const message_type_support_callbacks_t *>(members->data);
  std::vector<char> storage(callbacks->get_serialized_size(&sent));
  eprosima::fastcdr::FastBuffer buffer(storage.data(), storage.size());
  eprosima::fastcdr::Cdr out(buffer);
  eprosima::fastcdr::Cdr in(buffer);
  Message received;
  return callbacks->cdr_serialize(&sent, out) && callbacks->cdr_deserialize(in, &received) &&
         received == sent;
}

}  // namespace

int main() {
  const rosidl_service_type_support_t *dispatch =
      rosidl_typesupport_cpp::get_service_type_support_handle<Camera>();
  const rosidl_service_type_support_t *family = get_service_typesupport_handle(
      dispatch, rosidl_typesupport_fastrtps_cpp::typesupport_identifier);
  if (!family) {
    std::puts("ament_consumer: the dispatch found no rosidl_typesupport_fastrtps_cpp handle");
    return 1;
  }
  const auto *service = static_cast<const service_type_support_callbacks_t *>(family->data);

  Camera::Request request;
  request.angle = -7;
  Camera::Response response;
  response.image.encoding = "rgb8";
  response.image.width = 2;
  response.image.data.assign(6, 9);
  bool ok = round_trip(service->request_members_, request) &&
            round_trip(service->response_members_, response);
  std::printf("ament_consumer: %s::%s through %s: %s\n", service->service_namespace_,
              service->service_name_, family->typesupport_identifier,
              ok ? "ok" : "round trip failed");
  return ok ? 0 : 1;
}
