#include "stream_publishers.hpp"

#include <fastdds/dds/topic/TypeSupport.hpp>

#include <cstdio>

#include "camera_info.hpp"
#include "message_topic_type.hpp"
#include "point_cloud.hpp"
#include "ros_cdr.hpp"
#include "topic_names.hpp"

using namespace std::chrono_literals;
namespace fdds = eprosima::fastdds::dds;
using eprosima::fastrtps::rtps::GUID_t;

namespace kestrel::service {

namespace {

constexpr auto kFrameWait = 100ms;         // longest wait for a frame: a stop is noticed this soon
constexpr auto kIdleWait = 100ms;          // a thread with no reader looks again this often
constexpr auto kStaticRepeat = 1s;         // how often /tf_static is written again to its readers
constexpr uint32_t kRgbBytesPerPixel = 3;  // rgb8
constexpr uint32_t kDepthBytesPerPixel = 2;  // 16UC1, millimetres
// The optical frames' rotation from camera_link (x forward, y left, z up)
// to x right, y down, z forward, as (x, y, z, w).
constexpr msgs::Quaternion kOpticalRotation{-0.5, 0.5, -0.5, 0.5};
// The rgb camera sits 25 mm to the right of the depth camera (camera_link's
// origin), as on the Kinect's front.
constexpr double kRgbOffsetY = -0.025;  // metres along camera_link's y (left)

msgs::Time ros_time(SystemTime stamp) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(stamp.time_since_epoch()).count();
  return {static_cast<int32_t>(ns / 1000000000), static_cast<uint32_t>(ns % 1000000000)};
}

template <class Msg>
bool register_type(Node &node) {
  fdds::TypeSupport type(new msgs::MessageTopicType<Msg>());
  return type.register_type(node.participant) == ReturnCode_t::RETCODE_OK;
}

// Waits until one of `writers` has a reader, or kIdleWait; true when one has.
bool wait_wanted(Publishers &p, std::initializer_list<const TopicWriter *> writers) {
  auto any = [&] {
    for (const TopicWriter *w : writers) {
      if (w->wanted()) return true;
    }
    return false;
  };
  std::unique_lock<std::mutex> lock(p.mutex);
  p.changed.wait_for(lock, kIdleWait, [&] { return p.stop || any(); });
  return !p.stop && any();
}

template <class Msg>
void write(TopicWriter &topic, const Msg &msg, const char *what) {
  if (topic.wanted() && !topic.writer->write(const_cast<Msg *>(&msg))) {
    std::fprintf(stderr, "camserve: cannot write %s\n", what);
  }
}

msgs::Image image_message(const std::string &frame_id, bool depth) {
  msgs::Image image;
  image.header.frame_id = frame_id;
  image.height = msgs::kKinectHeight;
  image.width = msgs::kKinectWidth;
  image.encoding = depth ? "16UC1" : "rgb8";
  image.is_bigendian = 0;  // 16-bit depth comes in host order, little endian here
  image.step = msgs::kKinectWidth * (depth ? kDepthBytesPerPixel : kRgbBytesPerPixel);
  return image;
}

// An image stream and its camera info, one pair per frame with one header.
void run_images(Publishers &p, FrameFeed &feed, TopicWriter &image_topic, TopicWriter &info_topic,
                msgs::Image image, msgs::CameraInfo info) {
  uint64_t last = 0;
  while (!p.stop) {
    if (!wait_wanted(p, {&image_topic, &info_topic})) continue;
    FramePtr frame = feed.wait_next(last, kFrameWait);
    if (!frame && feed.closed()) return;  // the device is gone
    if (!frame) continue;
    last = frame->number;
    image.header.stamp = ros_time(frame->stamp);
    info.header = image.header;
    image.data = msgs::borrowed(frame->bytes.data(), frame->bytes.size());
    write(image_topic, image, "an image");
    write(info_topic, info, "a camera info");
  }
}

// The cloud of each depth frame (with the latest rgb frame for colour),
// built into the payload as the writer serialises it.
void run_cloud(Publishers &p) {
  const bool colour = p.settings.registered;
  const CloudRays rays = cloud_rays(colour ? p.settings.rgb_info : p.settings.depth_info);
  msgs::PointCloud2 cloud = cloud_layout(rays, colour);
  cloud.header.frame_id = colour ? p.settings.frames.rgb : p.settings.frames.depth;
  cloud.data.produced_size = cloud_bytes(rays, colour);
  uint64_t last = 0;
  while (!p.stop) {
    if (!wait_wanted(p, {&p.points})) continue;
    FramePtr depth = p.feeds.depth->wait_next(last, kFrameWait);
    if (!depth && p.feeds.depth->closed()) return;  // the device is gone
    if (!depth) continue;
    last = depth->number;
    FramePtr rgb = colour ? p.feeds.video->latest() : nullptr;
    if (colour && !rgb) continue;
    const auto *mm = reinterpret_cast<const uint16_t *>(depth->bytes.data());
    cloud.header.stamp = ros_time(depth->stamp);
    if (colour) {
      cloud.data.produce = [&](uint8_t *out) { fill_xyzrgb(rays, mm, rgb->bytes.data(), out); };
    } else {
      cloud.data.produce = [&](uint8_t *out) { fill_xyz(rays, mm, out); };
    }
    write(p.points, cloud, "a point cloud");
    cloud.data.produce = nullptr;
  }
}

// Linear acceleration in camera_link's axes (x forward, y left, z up): the
// accelerometer's z points forward, y up and x left (level: (0, g, 0)).
void run_imu(Publishers &p) {
  msgs::Imu imu;
  imu.header.frame_id = p.settings.frames.link;
  imu.orientation_covariance[0] = -1;       // no orientation
  imu.angular_velocity_covariance[0] = -1;  // no angular velocity
  uint64_t last = 0;
  while (!p.stop) {
    if (!wait_wanted(p, {&p.imu})) continue;
    Accel accel;
    if (!p.feeds.accel->wait_next(last, kFrameWait, accel)) {
      if (p.feeds.accel->closed()) return;  // the device is gone
      continue;
    }
    last = accel.number;
    imu.header.stamp = ros_time(accel.stamp);
    imu.linear_acceleration = {accel.z, accel.x, accel.y};
    write(p.imu, imu, "an imu reading");
  }
}

// /tf_static is written once before any reader, transient local, so that a
// reader that joins later gets the stored transforms. Fast-DDS does not
// always deliver that stored sample: a busy reader on shared memory was
// seen to get none in 30 s while every stream reached it. So while a reader
// is matched, the same transforms are written again every kStaticRepeat as a
// live sample; a reader that has them gets an equal copy, as tf expects of
// static transforms.
void run_static(Publishers &p, const msgs::TFMessage &transforms) {
  while (true) {
    {
      std::unique_lock<std::mutex> lock(p.mutex);
      if (p.changed.wait_for(lock, kStaticRepeat, [&] { return p.stop.load(); })) return;
    }
    write(p.tf_static, transforms, "the static transforms");
  }
}

msgs::TransformStamped optical_transform(const FrameIds &frames, const std::string &child, double y,
                                         SystemTime stamp) {
  msgs::TransformStamped t;
  t.header.stamp = ros_time(stamp);
  t.header.frame_id = frames.link;
  t.child_frame_id = child;
  t.transform.translation = {0, y, 0};
  t.transform.rotation = kOpticalRotation;
  return t;
}

bool make_writer(Publishers &p, TopicWriter &topic, const std::string &ros_name,
                 const char *type_name, const fdds::DataWriterQos &qos, std::atomic<int> *demand,
                 std::string &error) {
  std::optional<std::string> name = msgs::dds_topic_name(p.settings.ns, ros_name, error);
  if (!name) return false;
  fdds::Topic *dds_topic =
      p.node->participant->create_topic(*name, type_name, fdds::TOPIC_QOS_DEFAULT);
  if (!dds_topic) {
    error = "cannot create the topic " + *name;
    return false;
  }
  p.topics.push_back(dds_topic);
  topic.demand = demand;
  topic.mutex = &p.mutex;
  topic.changed = &p.changed;
  topic.writer = p.node->publisher->create_datawriter(dds_topic, qos, &topic);
  if (!topic.writer) {
    error = "cannot create the writer of " + *name;
    return false;
  }
  return true;
}

}  // namespace

FrameIds frame_ids(const std::string &prefix) {
  return {prefix + "_link", prefix + "_rgb_optical_frame", prefix + "_depth_optical_frame"};
}

void TopicWriter::on_publication_matched(fdds::DataWriter *,
                                         const fdds::PublicationMatchedStatus &status) {
  readers += status.current_count_change;
  if (demand) *demand += status.current_count_change;
  if (changed) {
    // Taken so that a thread between its check and its wait cannot miss this.
    std::lock_guard<std::mutex> lock(*mutex);
    changed->notify_all();
  }
}

bool open_publishers(Publishers &p, Node &node, const TopicSettings &settings, const Feeds &feeds,
                     std::string &error) {
  p.node = &node;
  p.settings = settings;
  p.feeds = feeds;
  if (!register_type<msgs::Image>(node) || !register_type<msgs::CameraInfo>(node) ||
      !register_type<msgs::PointCloud2>(node) || !register_type<msgs::Imu>(node) ||
      !register_type<msgs::TFMessage>(node)) {
    error = "cannot register the message types";
    return false;
  }
  fdds::DataWriterQos stream_qos = endpoint_writer_qos();
  stream_qos.history().depth = settings.history_depth;
  fdds::DataWriterQos static_qos = stream_qos;
  static_qos.durability().kind = fdds::TRANSIENT_LOCAL_DURABILITY_QOS;
  static_qos.history().depth = 1;

  const std::string depth_ns = settings.registered ? "depth_registered/" : "depth/";
  std::atomic<int> *depth_demand = &feeds.demand->depth;
  const char *image = msgs::dds_type_name<msgs::Image>();
  const char *info = msgs::dds_type_name<msgs::CameraInfo>();
  bool made =
      make_writer(p, p.rgb_image, "rgb/image_raw", image, stream_qos, nullptr, error) &&
      make_writer(p, p.rgb_info, "rgb/camera_info", info, stream_qos, nullptr, error) &&
      make_writer(p, p.depth_image, depth_ns + "image_raw", image, stream_qos, depth_demand,
                  error) &&
      make_writer(p, p.depth_info, depth_ns + "camera_info", info, stream_qos, depth_demand,
                  error) &&
      make_writer(p, p.points, depth_ns + "points", msgs::dds_type_name<msgs::PointCloud2>(),
                  stream_qos, depth_demand, error) &&
      make_writer(p, p.imu, "imu", msgs::dds_type_name<msgs::Imu>(), stream_qos,
                  &feeds.demand->accel, error) &&
      make_writer(p, p.tf_static, "/tf_static", msgs::dds_type_name<msgs::TFMessage>(), static_qos,
                  nullptr, error);
  if (!made) return false;

  SystemTime now = std::chrono::system_clock::now();
  msgs::TFMessage transforms;
  transforms.transforms = {
      optical_transform(settings.frames, settings.frames.rgb, kRgbOffsetY, now),
      optical_transform(settings.frames, settings.frames.depth, 0, now)};
  if (!p.tf_static.writer->write(&transforms)) {
    error = "cannot write the static transforms";
    return false;
  }

  // In registered mode the depth image lies on the rgb camera's grid: it
  // carries the rgb frame id and the rgb camera's intrinsics.
  msgs::CameraInfo depth_info = settings.registered ? settings.rgb_info : settings.depth_info;
  const std::string &depth_frame =
      settings.registered ? settings.frames.rgb : settings.frames.depth;
  p.threads.emplace_back(run_images, std::ref(p), std::ref(*feeds.video), std::ref(p.rgb_image),
                         std::ref(p.rgb_info), image_message(settings.frames.rgb, false),
                         settings.rgb_info);
  p.threads.emplace_back(run_images, std::ref(p), std::ref(*feeds.depth), std::ref(p.depth_image),
                         std::ref(p.depth_info), image_message(depth_frame, true), depth_info);
  p.threads.emplace_back(run_cloud, std::ref(p));
  p.threads.emplace_back(run_imu, std::ref(p));
  p.threads.emplace_back(run_static, std::ref(p), std::move(transforms));
  return true;
}

std::vector<GUID_t> writer_guids(const Publishers &p) {
  std::vector<GUID_t> guids;
  for (const TopicWriter *w : {&p.rgb_image, &p.rgb_info, &p.depth_image, &p.depth_info, &p.points,
                               &p.imu, &p.tf_static}) {
    if (w->writer) guids.push_back(w->writer->guid());
  }
  return guids;
}

void close_publishers(Publishers &p) {
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.stop = true;
  }
  p.changed.notify_all();
  for (std::thread &t : p.threads) t.join();
  p.threads.clear();
  for (TopicWriter *w : {&p.rgb_image, &p.rgb_info, &p.depth_image, &p.depth_info, &p.points,
                         &p.imu, &p.tf_static}) {
    if (w->writer) p.node->publisher->delete_datawriter(w->writer);
    w->writer = nullptr;
  }
  for (fdds::Topic *t : p.topics) p.node->participant->delete_topic(t);
  p.topics.clear();
}

}  // namespace kestrel::service
