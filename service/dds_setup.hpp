// The DDS side of a ROS 2 service on Fast-DDS: a participant set up as the
// ROS 2 middleware sets one up (transports, user data), the two topics of
// the service with the Camera types, the endpoint QoS, the node's entry on
// ros_discovery_info, and the bookkeeping of which readers a writer reaches.
#pragma once

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/DataWriterListener.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/publisher/qos/DataWriterQos.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/subscriber/qos/DataReaderQos.hpp>
#include <fastdds/dds/topic/Topic.hpp>
#include <fastdds/dds/topic/TopicDataType.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ros_names.hpp"
#include "topic_type.hpp"

namespace kestrel::service {

// Size of this participant's shared-memory segment, which holds what its
// writers send to local readers: room for several 921,600-byte replies at
// once (a default segment of 512 KiB cannot hold one).
constexpr uint32_t kShmSegmentBytes = 8 * 1024 * 1024;

// Samples each service endpoint keeps, as ROS 2's default.
constexpr int32_t kHistoryDepth = 10;

// Replies the reply writer and a client's reply reader keep: those of the
// last 5 s at the sensor's 30 frames/s. Every client's reader receives every
// client's reply, so in a crowd the writer keeps a reply until the slowest
// reader has it, and a reader keeps those that come while its client is busy
// with others: with 10, clients that lagged ten replies behind lost their own.
constexpr int32_t kReplyHistoryDepth = 150;

// Receive buffer of each UDPv4 socket: room for every fragment of a
// 921,600-byte reply (15 of 65,500 bytes) with more behind it, so that a
// busy reader does not drop fragments it must then ask for again (the
// kernel caps it at net.core.rmem_max).
constexpr uint32_t kUdpReceiveBufferBytes = 4 * 1024 * 1024;

// One participant with the two topics of a service.
struct Node {
  eprosima::fastdds::dds::DomainParticipant *participant = nullptr;
  eprosima::fastdds::dds::Publisher *publisher = nullptr;
  eprosima::fastdds::dds::Subscriber *subscriber = nullptr;
  eprosima::fastdds::dds::Topic *request_topic = nullptr;
  eprosima::fastdds::dds::Topic *reply_topic = nullptr;
  HandleTopicType *request_type = nullptr;   // owned by the participant's registration
  HandleTopicType *response_type = nullptr;  // likewise
};

// True when ROS_LOCALHOST_ONLY is "1": UDPv4 on 127.0.0.1 and shared memory.
bool localhost_only();

// A participant's transports. Shared memory carries large replies fastest
// between local peers, but many participants starting at once on one
// machine fail to discover each other over it (50 camcall processes at once:
// 20–30 never see the service; over UDPv4 alone all do), so a one-shot
// client that only sends small requests goes without it.
enum class Transports { shared_memory_and_udp, udp_only };

// The participant QoS ROS 2 gives a node named `name`; `shm_segment_bytes`
// sizes its shared-memory segment.
eprosima::fastdds::dds::DomainParticipantQos participant_qos(
    const std::string &name, Transports transports = Transports::shared_memory_and_udp,
    uint32_t shm_segment_bytes = kShmSegmentBytes);
// Every service endpoint: reliable, volatile, keep last 10, payloads that
// grow on demand (a reply is far larger than the type's minimum).
eprosima::fastdds::dds::DataWriterQos endpoint_writer_qos();
eprosima::fastdds::dds::DataReaderQos endpoint_reader_qos();

// Creates the participant, its publisher and subscriber, and the request and
// reply topics of `names`; on failure releases what it made and sets `error`.
bool open_node(Node &node, uint32_t domain, const std::string &node_name, const ServiceNames &names,
               std::string &error, Transports transports = Transports::shared_memory_and_udp,
               uint32_t shm_segment_bytes = kShmSegmentBytes);
// Deletes every entity of the node (writers and readers too) and the participant.
void close_node(Node &node);

// Announces the node on ros_discovery_info, so that ROS 2 tools list it with
// its endpoints (`ros2 node list`, `ros2 node info`). The writer stays for the
// participant's life: late joiners get the announcement from it.
bool announce_node(Node &node, const std::string &node_name,
                   const std::vector<eprosima::fastrtps::rtps::GUID_t> &readers,
                   const std::vector<eprosima::fastrtps::rtps::GUID_t> &writers,
                   std::string &error);

// A topic type whose samples are CDR bodies already encoded little endian
// (std::vector<char>); the type adds the encapsulation header on writing and
// strips it on reading. For messages encoded by hand, such as the discovery
// announcement, and for the benchmark's bare transfers.
struct EncodedType : eprosima::fastdds::dds::TopicDataType {
  explicit EncodedType(const char *name);
  bool serialize(void *data, eprosima::fastrtps::rtps::SerializedPayload_t *payload) override;
  bool deserialize(eprosima::fastrtps::rtps::SerializedPayload_t *payload, void *data) override;
  std::function<uint32_t()> getSerializedSizeProvider(void *data) override;
  void *createData() override;
  void deleteData(void *data) override;
  bool getKey(void *, eprosima::fastrtps::rtps::InstanceHandle_t *, bool) override { return false; }
};

// Readers matched with a writer, kept up to date by the writer's listener
// (called on Fast-DDS's threads).
struct MatchedReaders : eprosima::fastdds::dds::DataWriterListener {
  void on_publication_matched(
      eprosima::fastdds::dds::DataWriter *writer,
      const eprosima::fastdds::dds::PublicationMatchedStatus &status) override;
  // Waits until `reader` is matched; false after `timeout`.
  bool wait_for(const eprosima::fastrtps::rtps::GUID_t &reader, std::chrono::milliseconds timeout);
  bool has(const eprosima::fastrtps::rtps::GUID_t &reader);
  // Some reader of the participant with GUID prefix `prefix` is matched.
  bool has_participant(const eprosima::fastrtps::rtps::GuidPrefix_t &prefix);

  // Called (on Fast-DDS's threads) after every change; set it before the
  // writer is created.
  std::function<void()> on_change;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<eprosima::fastrtps::rtps::GUID_t> readers_;  // guarded by mutex_
};

// "01.0f.ab....|0.0.1.4" for log lines.
std::string guid_text(const eprosima::fastrtps::rtps::GUID_t &guid);

}  // namespace kestrel::service
