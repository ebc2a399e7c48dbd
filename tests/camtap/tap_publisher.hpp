// A stand-in for the Kinect node in camtap's tests, written straight on
// Fast-DDS's API and sharing no code with service/: it writes payloads
// encoded by hand (WireWriter) on ROS 2 topics, each at its own rate, from
// a thread of its own until it is destroyed.
#pragma once

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/publisher/DataWriter.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::test {

using Bytes = std::vector<uint8_t>;

// Little-endian CDR after the 4-byte header 00 01 00 00: every primitive
// aligned to its size from the end of the header; a string is a uint32
// length counting its zero, the characters and the zero; a sequence a uint32
// count and the elements.
struct WireWriter {
  Bytes out{0, 1, 0, 0};

  void align(size_t size) {
    while ((out.size() - 4) % size) out.push_back(0);
  }
  void u8(uint8_t v) { out.push_back(v); }
  void u32(uint32_t v) {
    align(4);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void f64(double v) {
    align(8);
    uint64_t bits = 0;
    static_assert(sizeof bits == sizeof v);
    __builtin_memcpy(&bits, &v, sizeof v);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void string(const std::string &text) {
    u32(static_cast<uint32_t>(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
  void bytes(const Bytes &data) {
    u32(static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }
  void header(int32_t sec, uint32_t nanosec, const std::string &frame_id) {
    u32(static_cast<uint32_t>(sec));
    u32(nanosec);
    string(frame_id);
  }
};

struct Publication {
  std::string topic;  // DDS name: "rt/camera/rgb/image_raw"
  std::string type;   // "sensor_msgs::msg::dds_::Image_"
  Bytes payload;      // written again and again
  std::chrono::milliseconds period{33};
  bool transient_local = false;  // as /tf_static is written
};

class TapPublisher {
 public:
  explicit TapPublisher(std::vector<Publication> publications);
  ~TapPublisher();
  TapPublisher(const TapPublisher &) = delete;
  TapPublisher &operator=(const TapPublisher &) = delete;

 private:
  void run();

  std::vector<Publication> publications_;
  eprosima::fastdds::dds::DomainParticipant *participant_ = nullptr;
  std::vector<eprosima::fastdds::dds::DataWriter *> writers_;  // one per publication
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kestrel::test
