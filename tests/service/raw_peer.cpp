#include "raw_peer.hpp"
#include "payload_type.hpp"

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/domain/DomainParticipantListener.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/topic/TopicDataType.hpp>
#include <fastdds/rtps/common/SerializedPayload.h>
#include <fastdds/rtps/common/WriteParams.h>

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kestrel::test {

using namespace eprosima::fastdds::dds;
using eprosima::fastrtps::rtps::SampleIdentity;

namespace {

void put32(Bytes &out, uint32_t value) {
  while (out.size() % 4) out.push_back(0);  // the header is 4 bytes: offsets stay aligned
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put_string(Bytes &out, const std::string &text) {
  put32(out, static_cast<uint32_t>(text.size() + 1));
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// Reads the fields back, failing on anything out of place.
struct Reader {
  const Bytes &in;
  size_t at = 4;
  bool ok = true;
  uint32_t u32() {
    at = (at + 3) / 4 * 4;
    if (at + 4 > in.size()) {
      ok = false;
      return 0;
    }
    uint32_t value = in[at] | in[at + 1] << 8 | in[at + 2] << 16 | uint32_t{in[at + 3]} << 24;
    at += 4;
    return value;
  }
  Bytes bytes(size_t count) {
    if (!ok || count > in.size() - at) {
      ok = false;
      return {};
    }
    Bytes out(in.begin() + at, in.begin() + at + count);
    at += count;
    return out;
  }
  std::string string() {
    uint32_t length = u32();
    Bytes chars = bytes(length);
    if (!ok || length == 0 || chars.back() != 0) {
      ok = false;
      return {};
    }
    return std::string(chars.begin(), chars.end() - 1);
  }
};

// Each peer's endpoints keep 150 samples, as camcall's reply reader does: a
// client's reader receives every client's reply and must keep its own while
// busy with the others, and a peer's burst of requests must stay in its
// writer until camserve, slow on a busy machine, has taken them.
template <typename QosT>
void service_qos(QosT &qos) {
  qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = VOLATILE_DURABILITY_QOS;
  qos.history().kind = KEEP_LAST_HISTORY_QOS;
  qos.history().depth = 150;
  qos.endpoint().history_memory_policy =
      eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
}

// Collects the user data of the participants it discovers.
struct UserDataListener : DomainParticipantListener {
  void on_participant_discovery(
      DomainParticipant *, eprosima::fastrtps::rtps::ParticipantDiscoveryInfo &&info) override {
    std::lock_guard<std::mutex> lock(mutex);
    const auto &data = info.info.m_userData;
    user_data[info.info.m_participantName.to_string()] = std::string(data.begin(), data.end());
  }
  std::mutex mutex;
  std::map<std::string, std::string> user_data;  // guarded by mutex
};

}  // namespace

std::optional<Announcement> read_announcement(const std::string &topic, const std::string &type,
                                              std::chrono::milliseconds timeout) {
  UserDataListener listener;
  DomainParticipant *participant = DomainParticipantFactory::get_instance()->create_participant(
      0, PARTICIPANT_QOS_DEFAULT, &listener);
  TypeSupport raw(new PayloadType(type));
  raw.register_type(participant);
  DataReaderQos qos = DATAREADER_QOS_DEFAULT;
  qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = TRANSIENT_LOCAL_DURABILITY_QOS;
  qos.history().kind = KEEP_LAST_HISTORY_QOS;
  qos.history().depth = 1;
  DataReader *reader =
      participant->create_subscriber(SUBSCRIBER_QOS_DEFAULT)
          ->create_datareader(participant->create_topic(topic, type, TOPIC_QOS_DEFAULT), qos);
  std::optional<Announcement> result;
  Bytes payload;
  SampleInfo info;
  if (reader->wait_for_unread_message({static_cast<int32_t>(timeout.count() / 1000),
                                       static_cast<uint32_t>(timeout.count() % 1000 * 1000000)}) &&
      reader->take_next_sample(&payload, &info) == ReturnCode_t::RETCODE_OK) {
    std::lock_guard<std::mutex> lock(listener.mutex);
    result = Announcement{payload, listener.user_data};
  }
  participant->delete_contained_entities();
  DomainParticipantFactory::get_instance()->delete_participant(participant);
  return result;
}

Bytes encode_request(int16_t angle) {
  return {0, 1, 0, 0, static_cast<uint8_t>(angle), static_cast<uint8_t>(uint16_t(angle) >> 8)};
}

Bytes encode_response(const WireImage &image) {
  Bytes out = {0, 1, 0, 0};
  put32(out, static_cast<uint32_t>(image.sec));
  put32(out, image.nanosec);
  put_string(out, image.frame_id);
  put32(out, image.height);
  put32(out, image.width);
  put_string(out, image.encoding);
  out.push_back(image.is_bigendian);
  put32(out, image.step);
  put32(out, static_cast<uint32_t>(image.data.size()));
  out.insert(out.end(), image.data.begin(), image.data.end());
  return out;
}

std::optional<WireImage> decode_response(const Bytes &payload) {
  if (payload.size() < 4 || payload[0] != 0 || payload[1] != 1) return std::nullopt;
  Reader in{payload};
  WireImage image;
  image.sec = static_cast<int32_t>(in.u32());
  image.nanosec = in.u32();
  image.frame_id = in.string();
  image.height = in.u32();
  image.width = in.u32();
  image.encoding = in.string();
  Bytes flag = in.bytes(1);
  image.is_bigendian = in.ok ? flag[0] : 0;
  image.step = in.u32();
  image.data = in.bytes(in.u32());
  if (!in.ok) return std::nullopt;
  return image;
}

RawPeer::RawPeer(const std::string &write_topic, const std::string &write_type,
                 const std::string &read_topic, const std::string &read_type) {
  participant_ =
      DomainParticipantFactory::get_instance()->create_participant(0, PARTICIPANT_QOS_DEFAULT);
  if (!participant_) throw std::runtime_error("test peer: no participant");
  TypeSupport written(new PayloadType(write_type));
  TypeSupport read(new PayloadType(read_type));
  written.register_type(participant_);
  read.register_type(participant_);
  Topic *out = participant_->create_topic(write_topic, write_type, TOPIC_QOS_DEFAULT);
  Topic *in = participant_->create_topic(read_topic, read_type, TOPIC_QOS_DEFAULT);
  DataWriterQos writer_qos = DATAWRITER_QOS_DEFAULT;
  service_qos(writer_qos);
  DataReaderQos reader_qos = DATAREADER_QOS_DEFAULT;
  service_qos(reader_qos);
  writer_ =
      participant_->create_publisher(PUBLISHER_QOS_DEFAULT)->create_datawriter(out, writer_qos);
  reader_ =
      participant_->create_subscriber(SUBSCRIBER_QOS_DEFAULT)->create_datareader(in, reader_qos);
  if (!writer_ || !reader_) throw std::runtime_error("test peer: no endpoints");
}

RawPeer::~RawPeer() {
  participant_->delete_contained_entities();
  DomainParticipantFactory::get_instance()->delete_participant(participant_);
}

bool RawPeer::wait_matched(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PublicationMatchedStatus published;
    SubscriptionMatchedStatus subscribed;
    writer_->get_publication_matched_status(published);
    reader_->get_subscription_matched_status(subscribed);
    if (published.current_count > 0 && subscribed.current_count > 0) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

SampleIdentity RawPeer::write(const Bytes &payload, const SampleIdentity &related) {
  eprosima::fastrtps::rtps::WriteParams params;
  params.related_sample_identity(related);
  Bytes copy = payload;
  if (!writer_->write(&copy, params)) throw std::runtime_error("test peer: write failed");
  return params.sample_identity();
}

bool RawPeer::wait_acknowledged(std::chrono::milliseconds timeout) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
  return writer_->wait_for_acknowledgments(
             {static_cast<int32_t>(ns / 1000000000), static_cast<uint32_t>(ns % 1000000000)}) ==
         ReturnCode_t::RETCODE_OK;
}

std::optional<Received> RawPeer::take(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    Received received;
    SampleInfo info;
    while (reader_->take_next_sample(&received.payload, &info) == ReturnCode_t::RETCODE_OK) {
      if (!info.valid_data) continue;
      received.identity = info.sample_identity;
      received.related = info.related_sample_identity;
      return received;
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    reader_->wait_for_unread_message({0, 50000000});
  }
}

SampleIdentity naming(const eprosima::fastrtps::rtps::GUID_t &guid) {
  SampleIdentity identity;
  identity.writer_guid(guid);
  return identity;
}

SampleIdentity reply_identity(const Received &request) {
  SampleIdentity identity = request.identity;
  if (request.related.writer_guid() != eprosima::fastrtps::rtps::GUID_t::unknown()) {
    identity.writer_guid(request.related.writer_guid());
  }
  return identity;
}

}  // namespace kestrel::test
