// A Fast-DDS topic type over a message's CDR type-support handle, the way the
// ROS 2 middleware carries a message: the payload is the 4-byte encapsulation
// header followed by exactly the bytes the handle's callbacks write.
#pragma once

#include <fastdds/dds/topic/TopicDataType.hpp>

#include <string>

#include "rosidl_runtime_c/message_type_support_struct.h"

namespace kestrel::service {

// What the topic type needs to know about one C message type.
struct MessageType {
  const rosidl_message_type_support_t *handle;  // the fastrtps C type-support handle
  const char *dds_name;                         // "pkg::srv::dds_::Type_"
  void *(*create)();                            // a new initialised message on the heap
  void (*destroy)(void *);                      // finalises and frees it
};

MessageType camera_request_type();
MessageType camera_response_type();

// One sample as it passes between the program and a DataReader/DataWriter:
// the C message, and after a take the reason it could not be decoded (empty
// when `message` holds what the writer sent).
struct Sample {
  void *message = nullptr;
  std::string error;
};

class HandleTopicType : public eprosima::fastdds::dds::TopicDataType {
 public:
  explicit HandleTopicType(const MessageType &type);

  bool serialize(void *data, eprosima::fastrtps::rtps::SerializedPayload_t *payload) override;
  // Always true: a payload that cannot be decoded comes out as a Sample with
  // `error` set, so that the program sees who sent it and can log it.
  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t *payload, void *data) override;
  std::function<uint32_t()> getSerializedSizeProvider(void *data) override;
  void *createData() override;
  void deleteData(void *data) override;
  bool getKey(void *, eprosima::fastrtps::rtps::InstanceHandle_t *, bool) override { return false; }
  bool is_bounded() const override { return bounded_; }

  // A Sample holding a new initialised message; release with deleteData.
  Sample *new_sample() { return static_cast<Sample *>(createData()); }

 private:
  MessageType type_;
  bool bounded_ = false;
};

}  // namespace kestrel::service
