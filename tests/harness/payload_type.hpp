// A Fast-DDS topic type for the tests' hand-written peers: a sample is the
// whole payload as bytes, the 4-byte encapsulation header included, so that
// a test writes and reads exactly the bytes on the wire. Header only: only
// the tests that speak DDS include it.
#pragma once

#include <fastdds/dds/topic/TopicDataType.hpp>
#include <fastdds/rtps/common/SerializedPayload.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kestrel::test {

struct PayloadType : eprosima::fastdds::dds::TopicDataType {
  using Bytes = std::vector<uint8_t>;
  using Payload = eprosima::fastrtps::rtps::SerializedPayload_t;

  explicit PayloadType(const std::string &name) {
    setName(name.c_str());
    m_typeSize = 64;  // payloads grow on demand: the writers' QoS reallocates
    auto_fill_type_object(false);
    auto_fill_type_information(false);
  }
  bool serialize(void *data, Payload *payload) override {
    const Bytes &bytes = *static_cast<Bytes *>(data);
    if (payload->max_size < bytes.size()) return false;
    std::memcpy(payload->data, bytes.data(), bytes.size());
    payload->length = static_cast<uint32_t>(bytes.size());
    // The header's second byte says the byte order: 0 big, 1 little endian.
    payload->encapsulation = bytes.size() > 1 && bytes[1] == 0 ? CDR_BE : CDR_LE;
    return true;
  }
  bool deserialize(Payload *payload, void *data) override {
    static_cast<Bytes *>(data)->assign(payload->data, payload->data + payload->length);
    return true;
  }
  std::function<uint32_t()> getSerializedSizeProvider(void *data) override {
    auto size = static_cast<uint32_t>(static_cast<Bytes *>(data)->size());
    return [size] { return size; };
  }
  void *createData() override { return new Bytes; }
  void deleteData(void *data) override { delete static_cast<Bytes *>(data); }
  bool getKey(void *, eprosima::fastrtps::rtps::InstanceHandle_t *, bool) override { return false; }
};

}  // namespace kestrel::test
