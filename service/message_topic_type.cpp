#include "message_topic_type.hpp"

#include <fastdds/rtps/common/SerializedPayload.h>

#include <cstdio>
#include <new>

#include "ros_cdr.hpp"

namespace kestrel::msgs {

using eprosima::fastrtps::rtps::SerializedPayload_t;

template <class Msg>
MessageTopicType<Msg>::MessageTopicType() {
  setName(dds_type_name<Msg>());
  // The smallest payload (an empty message): every type here is unbounded,
  // and its payloads grow on demand (PREALLOCATED_WITH_REALLOC endpoints).
  m_typeSize = static_cast<uint32_t>(cdr_size(Msg{}));
  m_isGetKeyDefined = false;
  auto_fill_type_object(false);
  auto_fill_type_information(false);
}

template <class Msg>
bool MessageTopicType<Msg>::serialize(void *data, SerializedPayload_t *payload) {
  const Msg &msg = *static_cast<const Msg *>(data);
  const size_t length = encode_cdr(msg, payload->data, payload->max_size);
  if (length == 0) {
    std::fprintf(stderr, "cannot serialize a %s of %zu bytes into a payload of %u\n",
                 ros_type_name<Msg>(), cdr_size(msg), payload->max_size);
    return false;
  }
  payload->length = static_cast<uint32_t>(length);
  payload->encapsulation = CDR_LE;
  return true;
}

template <class Msg>
bool MessageTopicType<Msg>::deserialize(SerializedPayload_t *payload, void *data) {
  Received<Msg> &received = *static_cast<Received<Msg> *>(data);
  received.error.clear();
  received.payload_bytes = payload->length;
  decode_cdr(payload->data, payload->length, received.msg, received.error);
  return true;
}

template <class Msg>
std::function<uint32_t()> MessageTopicType<Msg>::getSerializedSizeProvider(void *data) {
  const Msg *msg = static_cast<const Msg *>(data);
  return [msg] { return static_cast<uint32_t>(cdr_size(*msg)); };
}

template <class Msg>
void *MessageTopicType<Msg>::createData() {
  return new (std::nothrow) Received<Msg>;
}

template <class Msg>
void MessageTopicType<Msg>::deleteData(void *data) {
  delete static_cast<Received<Msg> *>(data);
}

template class MessageTopicType<Time>;
template class MessageTopicType<Header>;
template class MessageTopicType<Image>;
template class MessageTopicType<RegionOfInterest>;
template class MessageTopicType<CameraInfo>;
template class MessageTopicType<PointField>;
template class MessageTopicType<PointCloud2>;
template class MessageTopicType<Imu>;
template class MessageTopicType<Vector3>;
template class MessageTopicType<Quaternion>;
template class MessageTopicType<Transform>;
template class MessageTopicType<TransformStamped>;
template class MessageTopicType<TFMessage>;

}  // namespace kestrel::msgs
