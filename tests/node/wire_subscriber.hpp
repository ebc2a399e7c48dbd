// A ROS 2 subscriber's view of the node for the tests, written straight on
// Fast-DDS's API (no code shared with service/): one participant with
// default QoS and, per topic, a reader that keeps the raw payloads it takes
// with the time it took them.
#pragma once

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/rtps/common/Guid.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "wire_messages.hpp"

namespace kestrel::wire {

using SystemTime = std::chrono::system_clock::time_point;

// The node's DDS names in the default namespace.
std::string topic(const std::string &ros_name);  // "rgb/image_raw" → "rt/camera/rgb/image_raw"
constexpr char kImageType[] = "sensor_msgs::msg::dds_::Image_";
constexpr char kCameraInfoType[] = "sensor_msgs::msg::dds_::CameraInfo_";
constexpr char kPointCloudType[] = "sensor_msgs::msg::dds_::PointCloud2_";
constexpr char kImuType[] = "sensor_msgs::msg::dds_::Imu_";
constexpr char kTfType[] = "tf2_msgs::msg::dds_::TFMessage_";

struct Taken {
  Bytes payload;
  SystemTime at;  // when the listener took it
};

enum class Qos {
  reliable,     // RViz2's default: reliable, volatile, keep last 10
  best_effort,  // SensorData: best effort, volatile, keep last 5
  stalled,      // reliable, keep all with room for 2 samples, never taken
  latched,      // /tf_static: reliable, transient local, keep last 1
};

class Subscriber {
 public:
  Subscriber();
  ~Subscriber();
  Subscriber(const Subscriber &) = delete;
  Subscriber &operator=(const Subscriber &) = delete;

  // A reader on `topic` (keeping the last `keep` payloads taken).
  void subscribe(const std::string &topic, const std::string &type, Qos qos = Qos::reliable,
                 size_t keep = 2);
  void unsubscribe(const std::string &topic);
  // Waits until `topic` has taken more than `after` samples; the latest.
  std::optional<Taken> next(const std::string &topic, uint64_t after,
                            std::chrono::milliseconds timeout);
  uint64_t count(const std::string &topic);
  std::vector<Taken> kept(const std::string &topic);
  // GUIDs of the writers the topic's reader has matched so far.
  std::set<eprosima::fastrtps::rtps::GUID_t> writers(const std::string &topic);
  bool wait_matched(const std::string &topic, std::chrono::milliseconds timeout);

  struct Reader;

 private:
  eprosima::fastdds::dds::DomainParticipant *participant_ = nullptr;
  eprosima::fastdds::dds::Subscriber *subscriber_ = nullptr;
  std::set<std::string> types_;
  std::map<std::string, std::unique_ptr<Reader>> readers_;
};

}  // namespace kestrel::wire
