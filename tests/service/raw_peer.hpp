// An independent peer of the Camera service for the tests, written straight
// on Fast-DDS's API and sharing no code with service/: its samples are whole
// payloads (encapsulation header included) that the tests encode and decode
// by hand, so it can also send what no serialiser would write.
#pragma once

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/rtps/common/SampleIdentity.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::test {

using Bytes = std::vector<uint8_t>;

constexpr char kRequestTopic[] = "rq/cameraRequest";
constexpr char kReplyTopic[] = "rr/cameraReply";
constexpr char kRequestType[] = "kestrel_ifaces::srv::dds_::Camera_Request_";
constexpr char kResponseType[] = "kestrel_ifaces::srv::dds_::Camera_Response_";

// The fields of a sensor_msgs/Image as they travel.
struct WireImage {
  int32_t sec = 0;
  uint32_t nanosec = 0;
  std::string frame_id;
  uint32_t height = 0, width = 0;
  std::string encoding;
  uint8_t is_bigendian = 0;
  uint32_t step = 0;
  Bytes data;
};

// Little-endian CDR with its 4-byte header, written by hand from the field
// layout (strings: uint32 length with the terminating zero, then the bytes;
// every uint32 aligned to 4 from the end of the header).
Bytes encode_request(int16_t angle);
Bytes encode_response(const WireImage &image);
// Nothing when the payload is not exactly a little-endian response.
std::optional<WireImage> decode_response(const Bytes &payload);

struct Received {
  Bytes payload;
  eprosima::fastrtps::rtps::SampleIdentity identity;  // the writer's GUID and sequence number
  eprosima::fastrtps::rtps::SampleIdentity related;
};

// A participant with default QoS (as a stock peer would have) and one writer
// and one reader, both reliable, volatile, keep last 10.
class RawPeer {
 public:
  RawPeer(const std::string &write_topic, const std::string &write_type,
          const std::string &read_topic, const std::string &read_type);
  ~RawPeer();
  RawPeer(const RawPeer &) = delete;
  RawPeer &operator=(const RawPeer &) = delete;

  static RawPeer client() { return {kRequestTopic, kRequestType, kReplyTopic, kResponseType}; }
  static RawPeer server() { return {kReplyTopic, kResponseType, kRequestTopic, kRequestType}; }

  // Both endpoints matched with at least one remote endpoint.
  bool wait_matched(std::chrono::milliseconds timeout);
  // Writes `payload` as is; `related` rides along as the related sample
  // identity. Returns the identity the sample was written with.
  eprosima::fastrtps::rtps::SampleIdentity write(
      const Bytes &payload, const eprosima::fastrtps::rtps::SampleIdentity &related =
                                eprosima::fastrtps::rtps::SampleIdentity::unknown());
  // Every sample written so far acknowledged by every matched reader.
  bool wait_acknowledged(std::chrono::milliseconds timeout);
  std::optional<Received> take(std::chrono::milliseconds timeout);
  const eprosima::fastrtps::rtps::GUID_t &reader_guid() const { return reader_->guid(); }
  const eprosima::fastrtps::rtps::GUID_t &writer_guid() const { return writer_->guid(); }
  eprosima::fastdds::dds::DomainParticipant *participant() { return participant_; }

 private:
  eprosima::fastdds::dds::DomainParticipant *participant_ = nullptr;
  eprosima::fastdds::dds::DataWriter *writer_ = nullptr;
  eprosima::fastdds::dds::DataReader *reader_ = nullptr;
};

// What a late joiner learns from the graph: the first sample on a reliable,
// transient-local topic, and the user data of each participant discovered
// meanwhile, by participant name.
struct Announcement {
  Bytes payload;
  std::map<std::string, std::string> user_data;
};
std::optional<Announcement> read_announcement(const std::string &topic, const std::string &type,
                                              std::chrono::milliseconds timeout);

// A related identity that names only `guid` (a client's reply reader).
eprosima::fastrtps::rtps::SampleIdentity naming(const eprosima::fastrtps::rtps::GUID_t &guid);

// Identity a request asks its reply to name: the request's own, with the
// writer GUID replaced by the related one when the client gave it.
eprosima::fastrtps::rtps::SampleIdentity reply_identity(const Received &request);

}  // namespace kestrel::test
