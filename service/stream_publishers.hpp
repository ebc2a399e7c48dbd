// The node's topics: rgb and depth images with their camera infos, the
// point cloud, the imu and the static transforms, each written as ROS 2
// writes them (rt/<ns>/..., sensor_msgs::msg::dds_::Image_, ...).
//
// Threads: one publishing thread per stream (rgb, depth, cloud, imu), each
// taking the latest frame from its feed, encoding and writing it only while
// one of its writers has a matched reader; a slow reader delays at most its
// own stream's thread, never the device thread. One more thread writes the
// static transforms again each second while they have a reader. Fast-DDS's
// threads run the match listeners, which count readers into StreamDemand.
// The unit owns its writers, topics and threads; the feeds and the node
// belong to the caller.
#pragma once

#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/DataWriterListener.hpp>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dds_setup.hpp"
#include "frame_feed.hpp"
#include "ros_messages.hpp"

namespace kestrel::service {

// The node's shared-memory segment: a 9.8 MB cloud travels as 150
// fragments of 65,500 bytes, and an 8 MiB segment cannot hold them in flight
// (one run delivered 163 clouds of 301); this holds several clouds to
// several readers. Pages count only once touched.
constexpr uint32_t kNodeShmSegmentBytes = 64 * 1024 * 1024;

struct FrameIds {
  std::string link;   // "camera_link"
  std::string rgb;    // "camera_rgb_optical_frame"
  std::string depth;  // "camera_depth_optical_frame"
};
// The frame ids of `prefix` ("camera" gives camera_link, ...).
FrameIds frame_ids(const std::string &prefix);

struct TopicSettings {
  std::string ns = "camera";  // namespace of every topic but /tf_static
  bool registered = true;     // depth aligned to the rgb camera; false: the depth camera's own view
  int history_depth = 5;      // keep-last depth of every stream writer
  FrameIds frames = frame_ids("camera");
  msgs::CameraInfo rgb_info;    // headers are filled per frame
  msgs::CameraInfo depth_info;  // the depth camera's, used in millimetre mode
};

// Where the publishers take their frames from and report their readers.
struct Feeds {
  FrameFeed *video = nullptr;
  FrameFeed *depth = nullptr;
  AccelFeed *accel = nullptr;
  StreamDemand *demand = nullptr;
};

// One writer and the count of its matched readers (kept by its listener,
// on Fast-DDS's threads), added to `demand` when given.
struct TopicWriter : eprosima::fastdds::dds::DataWriterListener {
  eprosima::fastdds::dds::DataWriter *writer = nullptr;
  std::atomic<int> readers{0};
  std::atomic<int> *demand = nullptr;
  std::mutex *mutex = nullptr;                 // guards the wait on `changed`
  std::condition_variable *changed = nullptr;  // notified on every match change

  void on_publication_matched(
      eprosima::fastdds::dds::DataWriter *writer,
      const eprosima::fastdds::dds::PublicationMatchedStatus &status) override;
  bool wanted() const { return readers > 0; }
};

struct Publishers {
  Node *node = nullptr;
  TopicSettings settings;
  Feeds feeds;
  TopicWriter rgb_image, rgb_info, depth_image, depth_info, points, imu, tf_static;
  std::vector<eprosima::fastdds::dds::Topic *> topics;
  std::vector<std::thread> threads;
  std::atomic<bool> stop{false};
  std::mutex mutex;                 // for `changed` only
  std::condition_variable changed;  // a writer's readers changed, or stop
};

// Registers the message types, creates every topic and writer on `node`,
// writes the static transforms and starts the publishing threads. False
// with `error` (what was made stays for close_publishers).
bool open_publishers(Publishers &publishers, Node &node, const TopicSettings &settings,
                     const Feeds &feeds, std::string &error);
// Every writer's GUID, for the node's ros_discovery_info entry.
std::vector<eprosima::fastrtps::rtps::GUID_t> writer_guids(const Publishers &publishers);
// Stops the threads (the caller closes the feeds first or after: either
// wakes them) and deletes the writers and topics, before the node goes.
void close_publishers(Publishers &publishers);

}  // namespace kestrel::service
