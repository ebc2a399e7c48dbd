#include "topic_type.hpp"

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/Exception.h>
#include <fastdds/rtps/common/SerializedPayload.h>

#include <cstdio>
#include <new>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;
using eprosima::fastrtps::rtps::SerializedPayload_t;

namespace kestrel::service {

namespace {

constexpr uint32_t kEncapsulationBytes = 4;  // representation id (2) + options (2)

const message_type_support_callbacks_t &callbacks(const MessageType &type) {
  return *static_cast<const message_type_support_callbacks_t *>(type.handle->data);
}

}  // namespace

MessageType camera_request_type() {
  return {ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c,
                                                            kestrel_ifaces, srv, Camera_Request)(),
          "kestrel_ifaces::srv::dds_::Camera_Request_",
          [] { return static_cast<void *>(kestrel_ifaces__srv__Camera_Request__create()); },
          [](void *msg) {
            kestrel_ifaces__srv__Camera_Request__destroy(
                static_cast<kestrel_ifaces__srv__Camera_Request *>(msg));
          }};
}

MessageType camera_response_type() {
  return {ROSIDL_TYPESUPPORT_INTERFACE__MESSAGE_SYMBOL_NAME(rosidl_typesupport_fastrtps_c,
                                                            kestrel_ifaces, srv, Camera_Response)(),
          "kestrel_ifaces::srv::dds_::Camera_Response_",
          [] { return static_cast<void *>(kestrel_ifaces__srv__Camera_Response__create()); },
          [](void *msg) {
            kestrel_ifaces__srv__Camera_Response__destroy(
                static_cast<kestrel_ifaces__srv__Camera_Response *>(msg));
          }};
}

HandleTopicType::HandleTopicType(const MessageType &type) : type_(type) {
  setName(type.dds_name);
  // The handle's maximum size: the exact bound of a bounded type, a lower
  // bound of an unbounded one (whose payloads the middleware then grows on
  // demand, see the history memory policy in dds_setup.cpp).
  char bounds = 0;
  size_t max_size = callbacks(type_).max_serialized_size(bounds);
  bounded_ = bounds != ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE;
  m_typeSize = static_cast<uint32_t>(kEncapsulationBytes + max_size);
  m_isGetKeyDefined = false;
  // Peers match on the type name alone, as ROS 2 endpoints do.
  auto_fill_type_object(false);
  auto_fill_type_information(false);
}

bool HandleTopicType::serialize(void *data, SerializedPayload_t *payload) {
  const Sample *sample = static_cast<const Sample *>(data);
  FastBuffer buffer(reinterpret_cast<char *>(payload->data), payload->max_size);
  Cdr cdr(buffer, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
  payload->encapsulation = cdr.endianness() == Cdr::BIG_ENDIANNESS ? CDR_BE : CDR_LE;
  try {
    cdr.serialize_encapsulation();
    if (!callbacks(type_).cdr_serialize(sample->message, cdr)) {
      return false;
    }
  } catch (const eprosima::fastcdr::exception::Exception &e) {
    std::fprintf(stderr, "cannot serialize %s: %s\n", type_.dds_name, e.what());
    return false;
  }
  payload->length = static_cast<uint32_t>(cdr.getSerializedDataLength());
  return true;
}

bool HandleTopicType::deserialize(SerializedPayload_t *payload, void *data) {
  Sample *sample = static_cast<Sample *>(data);
  sample->error.clear();
  // Only plain CDR of either byte order: the first octet of the
  // representation identifier is 0, the second 0 (big) or 1 (little endian).
  if (payload->length < kEncapsulationBytes) {
    sample->error = "payload of " + std::to_string(payload->length) + " bytes has no header";
    return true;
  }
  if (payload->data[0] != 0 || payload->data[1] > 1) {
    char id[16];
    std::snprintf(id, sizeof(id), "0x%02x%02x", payload->data[0], payload->data[1]);
    sample->error = std::string("unsupported encapsulation ") + id;
    return true;
  }
  FastBuffer buffer(reinterpret_cast<char *>(payload->data), payload->length);
  Cdr cdr(buffer, Cdr::DEFAULT_ENDIAN, Cdr::DDS_CDR);
  try {
    cdr.read_encapsulation();
    if (!callbacks(type_).cdr_deserialize(cdr, sample->message)) {
      sample->error = "the message's fields are invalid";
    }
  } catch (const std::exception &e) {
    sample->error = std::string("malformed CDR: ") + e.what();
  }
  return true;
}

std::function<uint32_t()> HandleTopicType::getSerializedSizeProvider(void *data) {
  const Sample *sample = static_cast<const Sample *>(data);
  const message_type_support_callbacks_t &cb = callbacks(type_);
  return [sample, &cb]() { return kEncapsulationBytes + cb.get_serialized_size(sample->message); };
}

void *HandleTopicType::createData() {
  Sample *sample = new (std::nothrow) Sample;
  if (!sample) {
    return nullptr;
  }
  sample->message = type_.create();
  if (!sample->message) {
    delete sample;
    return nullptr;
  }
  return sample;
}

void HandleTopicType::deleteData(void *data) {
  Sample *sample = static_cast<Sample *>(data);
  if (!sample) {
    return;
  }
  type_.destroy(sample->message);
  delete sample;
}

}  // namespace kestrel::service
