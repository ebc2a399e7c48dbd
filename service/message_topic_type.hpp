// A Fast-DDS topic type for each message of ros_messages.hpp, named as a
// ROS 2 peer names it ("sensor_msgs::msg::dds_::CameraInfo_"), no key, no
// type object sent (peers match on the name, as ROS 2's do). The payload is
// exactly what encode_cdr writes, so a publisher's ByteData::produce fills
// the payload's data area in place.
//
// A DataWriter of this type writes a `const Msg *`; a DataReader takes into
// a `Received<Msg>` (what createData makes), which holds the reason when a
// payload could not be decoded, so that the taker sees and can log it.
#pragma once

#include <fastdds/dds/topic/TopicDataType.hpp>

#include <cstdint>
#include <functional>
#include <string>

#include "ros_messages.hpp"

namespace kestrel::msgs {

template <class Msg>
struct Received {
  Msg msg;
  std::string error;           // empty when `msg` holds what the writer sent
  uint32_t payload_bytes = 0;  // the serialized payload's size, header included
};

// Instantiated for the same message types as ros_cdr.hpp.
template <class Msg>
class MessageTopicType : public eprosima::fastdds::dds::TopicDataType {
 public:
  MessageTopicType();

  // `data` is a const Msg *.
  bool serialize(void *data, eprosima::fastrtps::rtps::SerializedPayload_t *payload) override;
  // `data` is a Received<Msg> *. Always true: a payload that cannot be
  // decoded comes out with `error` set.
  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t *payload, void *data) override;
  std::function<uint32_t()> getSerializedSizeProvider(void *data) override;
  void *createData() override;
  void deleteData(void *data) override;
  bool getKey(void *, eprosima::fastrtps::rtps::InstanceHandle_t *, bool) override { return false; }
};

}  // namespace kestrel::msgs
