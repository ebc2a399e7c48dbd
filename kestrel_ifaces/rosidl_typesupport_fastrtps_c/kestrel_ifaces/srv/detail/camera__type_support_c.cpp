// CDR type support of the Camera service for its C structures.
//
// A request is one int16 (`angle`) aligned to 2. A response is exactly the
// encoding of its `image`, which the sensor_msgs CDR type support writes and
// reads; nothing is added before or after it. Errors of the CDR stream
// (a buffer that cannot supply or take the bytes) propagate to the caller as
// the stream's exceptions.
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"

#include <fastcdr/Cdr.h>

#include <cstddef>
#include <cstdio>

#include "kestrel_ifaces/srv/detail/camera__struct.h"
#include "rosidl_typesupport_fastrtps_c/identifier.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_c.h"

using eprosima::fastcdr::Cdr;
using Request = kestrel_ifaces__srv__Camera_Request;
using Response = kestrel_ifaces__srv__Camera_Response;

namespace {

// The null-message line and the bounds key are private helpers of this
// package: it builds on its own, against the real ROS 2 packages or the
// stand-ins, so it keeps its own beside the stand-ins' copies in
// compat/common/cdr_fields.hpp.

constexpr size_t kAngleBytes = 2;  // int16

// One fwrite of the fixed 27-byte line, no formatting and no flush.
void report_null_message() {
  static const char line[] = "ros message handle is null\n";
  std::fwrite(line, 1, sizeof(line) - 1, stderr);
}

char bounds_key(bool bounded, bool plain) {
  if (plain) {
    return ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE;
  }
  return bounded ? ROSIDL_TYPESUPPORT_FASTRTPS_BOUNDED_TYPE
                 : ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE;
}

// Fetched on every call: the record belongs to the sensor_msgs library.
const message_type_support_callbacks_t *image_callbacks() {
  return static_cast<const message_type_support_callbacks_t *>(
      ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c, sensor_msgs,
                                                        msg, Image)()
          ->data);
}

// ---------------------------------------------------------------- request

bool _Camera_Request__cdr_serialize(const void *untyped_ros_message, Cdr &cdr) {
  if (!untyped_ros_message) {
    report_null_message();
    return false;
  }
  const Request *msg = static_cast<const Request *>(untyped_ros_message);
  cdr << msg->angle;
  return true;
}

bool _Camera_Request__cdr_deserialize(Cdr &cdr, void *untyped_ros_message) {
  if (!untyped_ros_message) {
    report_null_message();
    return false;
  }
  Request *msg = static_cast<Request *>(untyped_ros_message);
  cdr >> msg->angle;
  return true;
}

uint32_t _Camera_Request__get_serialized_size(const void *untyped_ros_message) {
  return static_cast<uint32_t>(
      get_serialized_size_kestrel_ifaces__srv__Camera_Request(untyped_ros_message, 0));
}

size_t _Camera_Request__max_serialized_size(char &bounds_info) {
  bool bounded = true;
  bool plain = true;
  size_t size = max_serialized_size_kestrel_ifaces__srv__Camera_Request(bounded, plain, 0);
  bounds_info = bounds_key(bounded, plain);
  return size;
}

// --------------------------------------------------------------- response

bool _Camera_Response__cdr_serialize(const void *untyped_ros_message, Cdr &cdr) {
  if (!untyped_ros_message) {
    report_null_message();
    return false;
  }
  const Response *msg = static_cast<const Response *>(untyped_ros_message);
  return image_callbacks()->cdr_serialize(&msg->image, cdr);
}

bool _Camera_Response__cdr_deserialize(Cdr &cdr, void *untyped_ros_message) {
  if (!untyped_ros_message) {
    report_null_message();
    return false;
  }
  Response *msg = static_cast<Response *>(untyped_ros_message);
  return image_callbacks()->cdr_deserialize(cdr, &msg->image);
}

uint32_t _Camera_Response__get_serialized_size(const void *untyped_ros_message) {
  if (!untyped_ros_message) {
    report_null_message();
    return 0;
  }
  return static_cast<uint32_t>(
      get_serialized_size_kestrel_ifaces__srv__Camera_Response(untyped_ros_message, 0));
}

size_t _Camera_Response__max_serialized_size(char &bounds_info) {
  bool bounded = true;
  bool plain = true;
  size_t size = max_serialized_size_kestrel_ifaces__srv__Camera_Response(bounded, plain, 0);
  bounds_info = bounds_key(bounded, plain);
  return size;
}

// ---------------------------------------------------------------- records

// The identifier slots stay empty here: the identifier is a variable of
// another library, stored when this one is loaded (see fill_at_load below).
const message_type_support_callbacks_t __callbacks_Camera_Request = {
    "kestrel_ifaces::srv",
    "Camera_Request",
    _Camera_Request__cdr_serialize,
    _Camera_Request__cdr_deserialize,
    _Camera_Request__get_serialized_size,
    _Camera_Request__max_serialized_size};

const message_type_support_callbacks_t __callbacks_Camera_Response = {
    "kestrel_ifaces::srv",
    "Camera_Response",
    _Camera_Response__cdr_serialize,
    _Camera_Response__cdr_deserialize,
    _Camera_Response__get_serialized_size,
    _Camera_Response__max_serialized_size};

rosidl_message_type_support_t _Camera_Request__type_support = {
    nullptr, &__callbacks_Camera_Request, get_message_typesupport_handle_function};

rosidl_message_type_support_t _Camera_Response__type_support = {
    nullptr, &__callbacks_Camera_Response, get_message_typesupport_handle_function};

service_type_support_callbacks_t Camera__callbacks = {"kestrel_ifaces::srv", "Camera", nullptr,
                                                      nullptr};

rosidl_service_type_support_t Camera__handle = {nullptr, &Camera__callbacks,
                                                get_service_typesupport_handle_function};

}  // namespace

extern "C" {

size_t get_serialized_size_kestrel_ifaces__srv__Camera_Request(const void *,
                                                               size_t current_alignment) {
  size_t end = current_alignment + kAngleBytes + Cdr::alignment(current_alignment, kAngleBytes);
  return end - current_alignment;
}

size_t get_serialized_size_kestrel_ifaces__srv__Camera_Response(const void *untyped_ros_message,
                                                                size_t current_alignment) {
  const Response *msg = static_cast<const Response *>(untyped_ros_message);
  return get_serialized_size_sensor_msgs__msg__Image(&msg->image, current_alignment);
}

size_t max_serialized_size_kestrel_ifaces__srv__Camera_Request(bool &full_bounded, bool &is_plain,
                                                               size_t current_alignment) {
  full_bounded = true;
  is_plain = true;
  const size_t last_member_size = 1 * kAngleBytes;
  size_t end = current_alignment + kAngleBytes + Cdr::alignment(current_alignment, kAngleBytes);
  size_t size = end - current_alignment;
  // Plain when the C layout is the CDR layout: no alignment byte was needed.
  if (is_plain) {
    is_plain = offsetof(Request, angle) + last_member_size == size;
  }
  return size;
}

// The response is its one image: the image's bounds and size, plain only if
// the image is and lies at the start of the structure.
size_t max_serialized_size_kestrel_ifaces__srv__Camera_Response(bool &full_bounded, bool &is_plain,
                                                                size_t current_alignment) {
  full_bounded = true;
  is_plain = true;
  const size_t size =
      max_serialized_size_sensor_msgs__msg__Image(full_bounded, is_plain, current_alignment);
  if (is_plain) {
    is_plain = offsetof(Response, image) == 0;
  }
  return size;
}

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Request)() {
  return &_Camera_Request__type_support;
}

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Response)() {
  return &_Camera_Response__type_support;
}

const rosidl_service_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera)() {
  return &Camera__handle;
}

}  // extern "C"

namespace {

// The identifier is a variable of another library, so the handles can only
// take it once this library is loaded; the contract fixes that timing at load.
bool fill_at_load() {
  _Camera_Request__type_support.typesupport_identifier = rosidl_typesupport_fastrtps_c__identifier;
  _Camera_Response__type_support.typesupport_identifier = rosidl_typesupport_fastrtps_c__identifier;
  Camera__callbacks.request_members_ = ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
      rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Request)();
  Camera__callbacks.response_members_ = ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
      rosidl_typesupport_fastrtps_c, kestrel_ifaces, srv, Camera_Response)();
  Camera__handle.typesupport_identifier = rosidl_typesupport_fastrtps_c__identifier;
  return true;
}

// The contract fixes the timing: these handles are filled when the library loads.
static const bool filled_at_load = fill_at_load();

}  // namespace
