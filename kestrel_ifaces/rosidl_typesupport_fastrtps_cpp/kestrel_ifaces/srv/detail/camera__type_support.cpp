// C++ CDR type support of the Camera service, byte for byte the encoding of
// the C type support: a request is one int16 (`angle`) aligned to 2; a
// response is exactly the encoding of its `image`, which the sensor_msgs C++
// type support writes and reads. Errors of the CDR stream (a buffer that
// cannot supply or take the bytes) propagate to the caller as the stream's
// exceptions, as the middleware expects.
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_cpp.hpp"

#include <fastcdr/Cdr.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "sensor_msgs/msg/detail/image__rosidl_typesupport_fastrtps_cpp.hpp"

using eprosima::fastcdr::Cdr;
using kestrel_ifaces::srv::Camera_Request;
using kestrel_ifaces::srv::Camera_Response;
namespace image_cdr = sensor_msgs::msg::typesupport_fastrtps_cpp;

namespace kestrel_ifaces {
namespace srv {
namespace typesupport_fastrtps_cpp {

namespace {
constexpr size_t kAngleBytes = 2;  // int16
}  // namespace

// ---------------------------------------------------------------- request

bool cdr_serialize(const Camera_Request &ros_message, Cdr &cdr) {
  cdr << ros_message.angle;
  return true;
}

bool cdr_deserialize(Cdr &cdr, Camera_Request &ros_message) {
  cdr >> ros_message.angle;
  return true;
}

size_t get_serialized_size(const Camera_Request &, size_t current_alignment) {
  return Cdr::alignment(current_alignment, kAngleBytes) + kAngleBytes;
}

size_t max_serialized_size_Camera_Request(bool &full_bounded, bool &is_plain,
                                          size_t current_alignment) {
  full_bounded = true;
  const size_t size = Cdr::alignment(current_alignment, kAngleBytes) + kAngleBytes;
  // Plain when the C++ layout is the CDR layout: no alignment byte was needed.
  is_plain = offsetof(Camera_Request, angle) + kAngleBytes == size;
  return size;
}

// --------------------------------------------------------------- response

bool cdr_serialize(const Camera_Response &ros_message, Cdr &cdr) {
  return image_cdr::cdr_serialize(ros_message.image, cdr);
}

bool cdr_deserialize(Cdr &cdr, Camera_Response &ros_message) {
  return image_cdr::cdr_deserialize(cdr, ros_message.image);
}

size_t get_serialized_size(const Camera_Response &ros_message, size_t current_alignment) {
  return image_cdr::get_serialized_size(ros_message.image, current_alignment);
}

// The image is the only member: its bounds are the response's.
size_t max_serialized_size_Camera_Response(bool &full_bounded, bool &is_plain,
                                           size_t current_alignment) {
  return image_cdr::max_serialized_size_Image(full_bounded, is_plain, current_alignment);
}

}  // namespace typesupport_fastrtps_cpp
}  // namespace srv
}  // namespace kestrel_ifaces

namespace {

namespace ts = kestrel_ifaces::srv::typesupport_fastrtps_cpp;

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

// The type-erased callbacks of message type T over its typed functions.
template <typename T, size_t (*MaxSize)(bool &, bool &, size_t)>
struct Callbacks {
  static bool serialize(const void *untyped, Cdr &cdr) {
    if (!untyped) {
      report_null_message();
      return false;
    }
    return ts::cdr_serialize(*static_cast<const T *>(untyped), cdr);
  }

  static bool deserialize(Cdr &cdr, void *untyped) {
    if (!untyped) {
      report_null_message();
      return false;
    }
    return ts::cdr_deserialize(cdr, *static_cast<T *>(untyped));
  }

  static uint32_t whole_size(const void *untyped) {
    if (!untyped) {
      report_null_message();
      return 0;
    }
    return static_cast<uint32_t>(ts::get_serialized_size(*static_cast<const T *>(untyped), 0));
  }

  static size_t max_size(char &bounds_info) {
    bool bounded = true;
    bool plain = true;
    const size_t size = MaxSize(bounded, plain, 0);
    bounds_info = bounds_key(bounded, plain);
    return size;
  }
};

using RequestCallbacks = Callbacks<Camera_Request, ts::max_serialized_size_Camera_Request>;
using ResponseCallbacks = Callbacks<Camera_Response, ts::max_serialized_size_Camera_Response>;

// The middleware names the DDS types from the namespace and the names
// ("kestrel_ifaces::srv::dds_::Camera_Request_").
constexpr message_type_support_callbacks_t request_callbacks = {
    "kestrel_ifaces::srv",        "Camera_Request",
    RequestCallbacks::serialize,  RequestCallbacks::deserialize,
    RequestCallbacks::whole_size, RequestCallbacks::max_size};

constexpr message_type_support_callbacks_t response_callbacks = {
    "kestrel_ifaces::srv",         "Camera_Response",
    ResponseCallbacks::serialize,  ResponseCallbacks::deserialize,
    ResponseCallbacks::whole_size, ResponseCallbacks::max_size};

// The identifier slots are filled at load (see filled_at_load).
rosidl_message_type_support_t request_handle = {nullptr, &request_callbacks,
                                                get_message_typesupport_handle_function};

rosidl_message_type_support_t response_handle = {nullptr, &response_callbacks,
                                                 get_message_typesupport_handle_function};

constexpr service_type_support_callbacks_t service_callbacks = {"kestrel_ifaces::srv", "Camera",
                                                                &request_handle, &response_handle};

rosidl_service_type_support_t service_handle = {nullptr, &service_callbacks,
                                                get_service_typesupport_handle_function};

bool fill_at_load() {
  request_handle.typesupport_identifier = rosidl_typesupport_fastrtps_cpp::typesupport_identifier;
  response_handle.typesupport_identifier = rosidl_typesupport_fastrtps_cpp::typesupport_identifier;
  service_handle.typesupport_identifier = rosidl_typesupport_fastrtps_cpp::typesupport_identifier;
  return true;
}

}  // namespace

// The identifier is another library's variable: the contract fixes the
// timing at load.
static const bool filled_at_load = fill_at_load();

namespace rosidl_typesupport_fastrtps_cpp {

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Request>() {
  return &request_handle;
}

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_kestrel_ifaces const rosidl_message_type_support_t *
get_message_type_support_handle<kestrel_ifaces::srv::Camera_Response>() {
  return &response_handle;
}

template <>
ROSIDL_TYPESUPPORT_FASTRTPS_CPP_PUBLIC_kestrel_ifaces const rosidl_service_type_support_t *
get_service_type_support_handle<kestrel_ifaces::srv::Camera>() {
  return &service_handle;
}

}  // namespace rosidl_typesupport_fastrtps_cpp

extern "C" {

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera_Request)() {
  return &request_handle;
}

const rosidl_message_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera_Response)() {
  return &response_handle;
}

const rosidl_service_type_support_t *ROSIDL_TYPESUPPORT_INTERFACE__SERVICE_SYMBOL_NAME(
    rosidl_typesupport_fastrtps_cpp, kestrel_ifaces, srv, Camera)() {
  return &service_handle;
}

}  // extern "C"
