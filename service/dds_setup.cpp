#include "dds_setup.hpp"

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/rtps/common/SerializedPayload.h>
#include <fastdds/rtps/transport/UDPv4TransportDescriptor.h>
#include <fastdds/rtps/transport/shared_mem/SharedMemTransportDescriptor.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

namespace kestrel::service {

using namespace eprosima::fastdds::dds;
using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::SerializedPayload_t;

namespace {

constexpr uint32_t kHeartbeatPeriodNs = 100000000;  // 100 ms: lost fragments are asked for soon
constexpr uint32_t kEncapsulationBytes = 4;         // representation id (2) + options (2)
constexpr size_t kGidBytes = 24;                    // rmw_dds_common's Gid in Humble
const char kEnclave[] = "enclave=/;";               // participant user data of the root enclave
const char kDiscoveryTopic[] = "ros_discovery_info";
const char kDiscoveryType[] = "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_";

// An rmw Gid: the 16 bytes of the GUID (prefix, then entity id), zero-filled.
void write_gid(eprosima::fastcdr::Cdr &cdr, const GUID_t &guid) {
  unsigned char gid[kGidBytes] = {};
  std::memcpy(gid, guid.guidPrefix.value, sizeof(guid.guidPrefix.value));
  std::memcpy(gid + sizeof(guid.guidPrefix.value), guid.entityId.value,
              sizeof(guid.entityId.value));
  cdr.serializeArray(gid, kGidBytes);
}

void write_gids(eprosima::fastcdr::Cdr &cdr, const std::vector<GUID_t> &guids) {
  cdr << static_cast<uint32_t>(guids.size());
  for (const GUID_t &guid : guids) {
    write_gid(cdr, guid);
  }
}

// ParticipantEntitiesInfo: the participant's gid, then one NodeEntitiesInfo
// (namespace, name, reader gids, writer gids).
std::vector<char> entities_info(const GUID_t &participant, const std::string &node_name,
                                const std::vector<GUID_t> &readers,
                                const std::vector<GUID_t> &writers) {
  // Room for every field: the gids, the counts, the two strings with their
  // length prefixes and alignment (1024 bytes cover all but the gid lists
  // and the name).
  std::vector<char> body(1024 + kGidBytes * (readers.size() + writers.size()) + node_name.size());
  eprosima::fastcdr::FastBuffer buffer(body.data(), body.size());
  eprosima::fastcdr::Cdr cdr(buffer, eprosima::fastcdr::Cdr::LITTLE_ENDIANNESS,
                             eprosima::fastcdr::Cdr::DDS_CDR);
  write_gid(cdr, participant);
  cdr << static_cast<uint32_t>(1);
  cdr << std::string("/") << node_name;
  write_gids(cdr, readers);
  write_gids(cdr, writers);
  body.resize(cdr.getSerializedDataLength());
  return body;
}

}  // namespace

bool localhost_only() {
  const char *value = std::getenv("ROS_LOCALHOST_ONLY");
  return value && std::strcmp(value, "1") == 0;
}

DomainParticipantQos participant_qos(const std::string &name, Transports transports,
                                     uint32_t shm_segment_bytes) {
  DomainParticipantQos qos = PARTICIPANT_QOS_DEFAULT;
  qos.name(name);
  qos.user_data().data_vec(
      std::vector<eprosima::fastrtps::rtps::octet>(kEnclave, kEnclave + sizeof(kEnclave) - 1));
  // Shared memory for peers on this machine, UDPv4 for the rest, as Fast-DDS
  // does by default, but with a segment that holds whole replies.
  auto shm = std::make_shared<eprosima::fastdds::rtps::SharedMemTransportDescriptor>();
  shm->segment_size(shm_segment_bytes);
  auto udp = std::make_shared<eprosima::fastdds::rtps::UDPv4TransportDescriptor>();
  udp->receiveBufferSize = kUdpReceiveBufferBytes;
  if (localhost_only()) {
    udp->interfaceWhiteList.emplace_back("127.0.0.1");
  }
  qos.transport().use_builtin_transports = false;
  if (transports == Transports::shared_memory_and_udp) {
    qos.transport().user_transports.push_back(shm);
  }
  qos.transport().user_transports.push_back(udp);
  return qos;
}

DataWriterQos endpoint_writer_qos() {
  DataWriterQos qos = DATAWRITER_QOS_DEFAULT;
  qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = VOLATILE_DURABILITY_QOS;
  qos.history().kind = KEEP_LAST_HISTORY_QOS;
  qos.history().depth = kHistoryDepth;
  qos.endpoint().history_memory_policy =
      eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.publish_mode().kind = SYNCHRONOUS_PUBLISH_MODE;
  qos.reliable_writer_qos().times.heartbeatPeriod = {0, kHeartbeatPeriodNs};
  qos.data_sharing().off();
  return qos;
}

DataReaderQos endpoint_reader_qos() {
  DataReaderQos qos = DATAREADER_QOS_DEFAULT;
  qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = VOLATILE_DURABILITY_QOS;
  qos.history().kind = KEEP_LAST_HISTORY_QOS;
  qos.history().depth = kHistoryDepth;
  qos.endpoint().history_memory_policy =
      eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.data_sharing().off();
  return qos;
}

bool open_node(Node &node, uint32_t domain, const std::string &node_name, const ServiceNames &names,
               std::string &error, Transports transports, uint32_t shm_segment_bytes) {
  DomainParticipantFactory *factory = DomainParticipantFactory::get_instance();
  node.participant = factory->create_participant(
      domain, participant_qos(node_name, transports, shm_segment_bytes));
  if (!node.participant) {
    error = "cannot create a DDS participant on domain " + std::to_string(domain);
    return false;
  }
  node.request_type = new HandleTopicType(camera_request_type());
  node.response_type = new HandleTopicType(camera_response_type());
  TypeSupport request(node.request_type);
  TypeSupport response(node.response_type);
  if (request.register_type(node.participant) != ReturnCode_t::RETCODE_OK ||
      response.register_type(node.participant) != ReturnCode_t::RETCODE_OK) {
    error = "cannot register the Camera types";
    close_node(node);
    return false;
  }
  node.publisher = node.participant->create_publisher(PUBLISHER_QOS_DEFAULT);
  node.subscriber = node.participant->create_subscriber(SUBSCRIBER_QOS_DEFAULT);
  node.request_topic = node.participant->create_topic(names.request_topic, request.get_type_name(),
                                                      TOPIC_QOS_DEFAULT);
  node.reply_topic = node.participant->create_topic(names.reply_topic, response.get_type_name(),
                                                    TOPIC_QOS_DEFAULT);
  if (!node.publisher || !node.subscriber || !node.request_topic || !node.reply_topic) {
    error = "cannot create the topics of " + names.service;
    close_node(node);
    return false;
  }
  return true;
}

void close_node(Node &node) {
  if (node.participant) {
    node.participant->delete_contained_entities();
    DomainParticipantFactory::get_instance()->delete_participant(node.participant);
  }
  node = Node{};
}

bool announce_node(Node &node, const std::string &node_name, const std::vector<GUID_t> &readers,
                   const std::vector<GUID_t> &writers, std::string &error) {
  TypeSupport type(new EncodedType(kDiscoveryType));
  error = "cannot announce the node on " + std::string(kDiscoveryTopic);
  if (type.register_type(node.participant) != ReturnCode_t::RETCODE_OK) {
    return false;
  }
  Topic *topic = node.participant->create_topic(kDiscoveryTopic, kDiscoveryType, TOPIC_QOS_DEFAULT);
  if (!topic) {
    return false;
  }
  DataWriterQos qos = DATAWRITER_QOS_DEFAULT;
  qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
  qos.durability().kind = TRANSIENT_LOCAL_DURABILITY_QOS;
  qos.history().kind = KEEP_LAST_HISTORY_QOS;
  qos.history().depth = 1;
  qos.endpoint().history_memory_policy =
      eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.data_sharing().off();
  DataWriter *writer = node.publisher->create_datawriter(topic, qos);
  if (!writer) {
    return false;
  }
  std::vector<char> body = entities_info(node.participant->guid(), node_name, readers, writers);
  if (!writer->write(&body)) {
    return false;
  }
  error.clear();
  return true;
}

EncodedType::EncodedType(const char *name) {
  setName(name);
  m_typeSize = kEncapsulationBytes;
  auto_fill_type_object(false);
  auto_fill_type_information(false);
}

bool EncodedType::serialize(void *data, SerializedPayload_t *payload) {
  const auto &body = *static_cast<std::vector<char> *>(data);
  if (payload->max_size < kEncapsulationBytes + body.size()) {
    return false;
  }
  const unsigned char header[kEncapsulationBytes] = {0, 1, 0, 0};  // CDR, little endian
  std::memcpy(payload->data, header, kEncapsulationBytes);
  std::memcpy(payload->data + kEncapsulationBytes, body.data(), body.size());
  payload->length = static_cast<uint32_t>(kEncapsulationBytes + body.size());
  payload->encapsulation = CDR_LE;
  return true;
}

bool EncodedType::deserialize(SerializedPayload_t *payload, void *data) {
  if (payload->length < kEncapsulationBytes) {
    return false;
  }
  static_cast<std::vector<char> *>(data)->assign(payload->data + kEncapsulationBytes,
                                                 payload->data + payload->length);
  return true;
}

std::function<uint32_t()> EncodedType::getSerializedSizeProvider(void *data) {
  auto size =
      static_cast<uint32_t>(kEncapsulationBytes + static_cast<std::vector<char> *>(data)->size());
  return [size] { return size; };
}

void *EncodedType::createData() {
  return new std::vector<char>;
}

void EncodedType::deleteData(void *data) {
  delete static_cast<std::vector<char> *>(data);
}

void MatchedReaders::on_publication_matched(DataWriter *, const PublicationMatchedStatus &status) {
  GUID_t reader = eprosima::fastrtps::rtps::iHandle2GUID(status.last_subscription_handle);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status.current_count_change > 0) {
      readers_.insert(reader);
    } else if (status.current_count_change < 0) {
      readers_.erase(reader);
    }
  }
  changed_.notify_all();
  if (on_change) on_change();
}

bool MatchedReaders::has(const GUID_t &reader) {
  std::lock_guard<std::mutex> lock(mutex_);
  return readers_.count(reader) > 0;
}

bool MatchedReaders::has_participant(const eprosima::fastrtps::rtps::GuidPrefix_t &prefix) {
  std::lock_guard<std::mutex> lock(mutex_);
  // The set is ordered by prefix first: the first GUID not below the
  // prefix's smallest is of that participant if any is.
  auto it = readers_.lower_bound(GUID_t(prefix, eprosima::fastrtps::rtps::EntityId_t()));
  return it != readers_.end() && it->guidPrefix == prefix;
}

bool MatchedReaders::wait_for(const GUID_t &reader, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return readers_.count(reader) > 0; });
}

std::string guid_text(const GUID_t &guid) {
  std::ostringstream text;
  text << guid;
  return text.str();
}

}  // namespace kestrel::service
