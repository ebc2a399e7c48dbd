// Figures of camserve's topics on the simulated Kinect at real-time pacing,
// beside a bare Fast-DDS publisher of the same bytes with the same
// participant and writer settings, in one run. Run it inside a private
// network namespace (tests/harness/private_net.sh):
//
//   node_bench [seconds]     (default 60: each streaming window)
//
// 1. camserve idle, no subscriber: CPU share of one core over 10 s.
// 2. rgb + registered depth + their camera infos to one subscriber for
//    `seconds`: one-way latency from the frame's arrival in the driver
//    callback (its header stamp) to the subscriber's take, median and p99;
//    frames lost (gaps in the stamps); camserve's CPU.
// 3. The bare publisher (this program run as `node_bench --bare`) on the
//    same simulated Kinect: the driver's callbacks stamp each frame and write
//    it and its camera info themselves: the same latency and its CPU.
// 4. The XYZRGB cloud streamed to one subscriber for `seconds`: clouds lost.
// 5. rgb to one, then to four subscribers (each its own participant), 10 s
//    each: camserve's CPU.
// 6. In this process: building and writing one 640 × 480 XYZRGB cloud into
//    its payload against writing the same cloud already built (the floor:
//    its 9.8 MB copied once into the payload and sent), one reader matched.
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <libfreenect.h>

#include "bench_process.hpp"
#include "camera_info.hpp"
#include "dds_setup.hpp"
#include "message_topic_type.hpp"
#include "point_cloud.hpp"
#include "ros_cdr.hpp"
#include "scene.hpp"
#include "stream_publishers.hpp"

using namespace std::chrono_literals;
namespace fdds = eprosima::fastdds::dds;
namespace svc = kestrel::service;
namespace msgs = kestrel::msgs;
namespace kb = kestrel::bench;
using SystemClock = std::chrono::system_clock;

constexpr auto kSettle = 3s;      // discovery, the first frames and the depth stream's start
constexpr auto kCpuWindow = 10s;  // idle and fan-out windows
constexpr double kFramePeriod = 1.0 / 30;  // s: the Kinect's 30 frames/s
constexpr int kCloudRuns = 30;             // in-process cloud writes of each kind
constexpr int kHistoryDepth = 5;           // camserve's default --qos-depth
const char kImage[] = "sensor_msgs::msg::dds_::Image_";
const char kInfo[] = "sensor_msgs::msg::dds_::CameraInfo_";
const char kCloud[] = "sensor_msgs::msg::dds_::PointCloud2_";

static std::atomic<bool> g_stop{false};

static double now_s() {
  return std::chrono::duration<double>(SystemClock::now().time_since_epoch()).count();
}

// ------------------------------------------------------------ the subscriber

// One topic's samples as taken: the header stamp and the take time.
struct Tap : fdds::DataReaderListener {
  std::mutex mutex;
  std::condition_variable came;
  std::vector<double> stamps, latencies_ms;  // guarded by mutex

  void on_data_available(fdds::DataReader *reader) override {
    std::vector<char> body;
    fdds::SampleInfo info;
    while (reader->take_next_sample(&body, &info) == ReturnCode_t::RETCODE_OK) {
      double taken = now_s();
      if (!info.valid_data || body.size() < 8) continue;
      int32_t sec;
      uint32_t nanosec;
      std::memcpy(&sec, body.data(), 4);
      std::memcpy(&nanosec, body.data() + 4, 4);
      double stamp = sec + nanosec * 1e-9;
      std::lock_guard<std::mutex> lock(mutex);
      stamps.push_back(stamp);
      latencies_ms.push_back((taken - stamp) * 1000);
      came.notify_all();
    }
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex);
    stamps.clear();
    latencies_ms.clear();
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex);
    return stamps.size();
  }
  // Frames missing between the first and the last stamp taken.
  long lost() {
    std::lock_guard<std::mutex> lock(mutex);
    if (stamps.size() < 2) return -1;
    std::vector<double> sorted = stamps;
    std::sort(sorted.begin(), sorted.end());
    long expected = std::lround((sorted.back() - sorted.front()) / kFramePeriod) + 1;
    return expected - static_cast<long>(sorted.size());
  }
};

// A participant with camserve's settings and readers on some topics.
struct Subscriber {
  fdds::DomainParticipant *participant = nullptr;
  fdds::Subscriber *subscriber = nullptr;
  std::map<std::string, std::unique_ptr<Tap>> taps;

  explicit Subscriber(const std::string &name) {
    participant = fdds::DomainParticipantFactory::get_instance()->create_participant(
        0, svc::participant_qos(name));
    subscriber = participant->create_subscriber(fdds::SUBSCRIBER_QOS_DEFAULT);
    for (const char *type : {kImage, kInfo, kCloud}) {
      fdds::TypeSupport(new svc::EncodedType(type)).register_type(participant);
    }
  }
  ~Subscriber() {
    participant->delete_contained_entities();
    fdds::DomainParticipantFactory::get_instance()->delete_participant(participant);
  }
  Tap &add(const std::string &topic, const char *type) {
    auto tap = std::make_unique<Tap>();
    fdds::Topic *t = participant->create_topic(topic, type, fdds::TOPIC_QOS_DEFAULT);
    subscriber->create_datareader(t, svc::endpoint_reader_qos(), tap.get());
    return *(taps[topic] = std::move(tap));
  }
  void clear() {
    for (auto &[name, tap] : taps) tap->clear();
  }
};

static double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

struct StreamFigures {
  double median_ms = 0, p99_ms = 0, cpu_share = 0;
  long lost = 0;
  size_t samples = 0;
};

// Settles, then measures the taps and `pid`'s CPU over `window`.
static StreamFigures measure(Subscriber &sub, pid_t pid, std::chrono::seconds window) {
  std::this_thread::sleep_for(kSettle);
  sub.clear();
  double cpu0 = kb::thread_cpu_seconds(pid);
  auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(window);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  StreamFigures f;
  f.cpu_share = (kb::thread_cpu_seconds(pid) - cpu0) / wall;
  std::vector<double> all;
  for (auto &[name, tap] : sub.taps) {
    std::lock_guard<std::mutex> lock(tap->mutex);
    all.insert(all.end(), tap->latencies_ms.begin(), tap->latencies_ms.end());
  }
  for (auto &[name, tap] : sub.taps) {
    long lost = tap->lost();
    if (lost < 0) std::printf("  %s: fewer than two samples\n", name.c_str());
    f.lost += std::max(lost, 0L) + (lost < 0);
  }
  f.samples = all.size();
  f.median_ms = percentile(all, 0.5);
  f.p99_ms = percentile(all, 0.99);
  return f;
}

static double cpu_share_over(pid_t pid, std::chrono::seconds window) {
  std::this_thread::sleep_for(kSettle);
  double cpu0 = kb::thread_cpu_seconds(pid);
  auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(window);
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return (kb::thread_cpu_seconds(pid) - cpu0) / wall;
}

// ------------------------------------------------------------ the bare publisher

// The least a node can do with the same bytes: the driver's callbacks
// stamp each frame and write it and its camera info themselves, with the
// same encoder, participant and writer settings as camserve; no hand-over,
// no service, no laziness.
struct Bare {
  fdds::DataWriter *rgb = nullptr, *rgb_info = nullptr, *depth = nullptr, *depth_info = nullptr;
  msgs::Image rgb_image, depth_image;
  msgs::CameraInfo info;
};

static void write_frame(Bare &bare, fdds::DataWriter *image_w, fdds::DataWriter *info_w,
                        msgs::Image &image, const void *data, size_t bytes) {
  auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(SystemClock::now().time_since_epoch())
          .count();
  image.header.stamp = {static_cast<int32_t>(ns / 1000000000),
                        static_cast<uint32_t>(ns % 1000000000)};
  image.data = msgs::borrowed(static_cast<const uint8_t *>(data), bytes);
  bare.info.header = image.header;
  image_w->write(&image);
  info_w->write(&bare.info);
}

static void bare_video(freenect_device *dev, void *data, uint32_t) {
  Bare &b = *static_cast<Bare *>(freenect_get_user(dev));
  write_frame(b, b.rgb, b.rgb_info, b.rgb_image, data, 921600);
}

static void bare_depth(freenect_device *dev, void *data, uint32_t) {
  Bare &b = *static_cast<Bare *>(freenect_get_user(dev));
  write_frame(b, b.depth, b.depth_info, b.depth_image, data, 614400);
}

static int run_bare() {
  std::signal(SIGINT, [](int) { g_stop = true; });
  fdds::DomainParticipant *participant =
      fdds::DomainParticipantFactory::get_instance()->create_participant(
          0, svc::participant_qos("bare", svc::Transports::shared_memory_and_udp,
                                  svc::kNodeShmSegmentBytes));
  fdds::Publisher *publisher = participant->create_publisher(fdds::PUBLISHER_QOS_DEFAULT);
  fdds::TypeSupport(new msgs::MessageTopicType<msgs::Image>()).register_type(participant);
  fdds::TypeSupport(new msgs::MessageTopicType<msgs::CameraInfo>()).register_type(participant);
  fdds::DataWriterQos qos = svc::endpoint_writer_qos();
  qos.history().depth = kHistoryDepth;
  auto writer = [&](const char *topic, const char *type) {
    return publisher->create_datawriter(
        participant->create_topic(topic, type, fdds::TOPIC_QOS_DEFAULT), qos);
  };
  Bare bare;
  bare.rgb = writer("rt/bare/rgb/image_raw", kImage);
  bare.rgb_info = writer("rt/bare/rgb/camera_info", kInfo);
  bare.depth = writer("rt/bare/depth_registered/image_raw", kImage);
  bare.depth_info = writer("rt/bare/depth_registered/camera_info", kInfo);
  for (msgs::Image *image : {&bare.rgb_image, &bare.depth_image}) {
    image->header.frame_id = "camera_rgb_optical_frame";
    image->height = 480;
    image->width = 640;
  }
  bare.rgb_image.encoding = "rgb8";
  bare.rgb_image.step = 1920;
  bare.depth_image.encoding = "16UC1";
  bare.depth_image.step = 1280;
  std::string error;
  msgs::camera_info_from_zero_plane(120, 120 / (2 * 575.8), bare.info, error);

  freenect_context *ctx = nullptr;
  freenect_device *dev = nullptr;
  if (freenect_init(&ctx, nullptr) < 0 || freenect_open_device(ctx, &dev, 0) < 0) {
    std::fprintf(stderr, "node_bench --bare: no Kinect\n");
    return 1;
  }
  freenect_set_user(dev, &bare);
  freenect_set_video_callback(dev, bare_video);
  freenect_set_depth_callback(dev, bare_depth);
  freenect_set_video_mode(dev,
                          freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB));
  freenect_set_depth_mode(
      dev, freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_REGISTERED));
  freenect_start_video(dev);
  freenect_start_depth(dev);
  while (!g_stop) {
    timeval timeout{0, 20000};
    if (freenect_process_events_timeout(ctx, &timeout) < 0) break;
  }
  freenect_stop_depth(dev);
  freenect_stop_video(dev);
  freenect_close_device(dev);
  freenect_shutdown(ctx);
  participant->delete_contained_entities();
  fdds::DomainParticipantFactory::get_instance()->delete_participant(participant);
  return 0;
}

// ------------------------------------------------------------ the cloud, in process

struct CloudFigures {
  double build_write_ms = 0, write_built_ms = 0, memcpy_ms = 0;
};

static CloudFigures cloud_writes() {
  fdds::DomainParticipant *participant =
      fdds::DomainParticipantFactory::get_instance()->create_participant(
          0, svc::participant_qos("cloud_writer", svc::Transports::shared_memory_and_udp,
                                  svc::kNodeShmSegmentBytes));
  fdds::TypeSupport(new msgs::MessageTopicType<msgs::PointCloud2>()).register_type(participant);
  fdds::DataWriterQos qos = svc::endpoint_writer_qos();
  qos.history().depth = kHistoryDepth;
  fdds::DataWriter *writer =
      participant->create_publisher(fdds::PUBLISHER_QOS_DEFAULT)
          ->create_datawriter(
              participant->create_topic("rt/bench/points", kCloud, fdds::TOPIC_QOS_DEFAULT), qos);
  Subscriber sub("cloud_reader");
  Tap &tap = sub.add("rt/bench/points", kCloud);

  msgs::CameraInfo info;
  std::string error;
  msgs::camera_info_from_zero_plane(120, 120 / (2 * 575.8), info, error);
  svc::CloudRays rays = svc::cloud_rays(info);
  std::vector<uint16_t> depth(640 * 480);
  std::vector<uint8_t> rgb(640 * 480 * 3);
  for (int v = 0; v < 480; ++v) {
    for (int u = 0; u < 640; ++u) {
      depth[v * 640 + u] = ksim::depth_registered(u, v);
      ksim::rgb(u, v, &rgb[3 * (v * 640 + u)]);
    }
  }
  msgs::PointCloud2 cloud = svc::cloud_layout(rays, true);
  cloud.header.frame_id = "camera_rgb_optical_frame";
  msgs::PointCloud2 built = cloud;
  built.data.bytes.resize(svc::cloud_bytes(rays, true));
  svc::fill_xyzrgb(rays, depth.data(), rgb.data(), built.data.bytes.data());
  cloud.data.produced_size = built.data.bytes.size();
  cloud.data.produce = [&](uint8_t *out) { svc::fill_xyzrgb(rays, depth.data(), rgb.data(), out); };
  std::vector<uint8_t> copy(built.data.bytes.size());

  auto wait_taken = [&](size_t n) {
    std::unique_lock<std::mutex> lock(tap.mutex);
    tap.came.wait_for(lock, 5s, [&] { return tap.stamps.size() >= n; });
  };
  std::this_thread::sleep_for(kSettle);  // matched
  std::vector<double> ours, floor, copies;
  size_t sent = 0;
  for (int i = 0; i < kCloudRuns; ++i) {
    for (int kind = 0; kind < 3; ++kind) {
      auto t0 = std::chrono::steady_clock::now();
      if (kind == 0) {
        writer->write(&cloud);
      } else if (kind == 1) {
        writer->write(&built);
      } else {
        std::memcpy(copy.data(), built.data.bytes.data(), copy.size());
      }
      double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      (kind == 0 ? ours : kind == 1 ? floor : copies).push_back(ms);
      if (kind < 2) wait_taken(++sent);
    }
  }
  CloudFigures f{percentile(ours, 0.5), percentile(floor, 0.5), percentile(copies, 0.5)};
  participant->delete_contained_entities();
  fdds::DomainParticipantFactory::get_instance()->delete_participant(participant);
  return f;
}

// ------------------------------------------------------------ main

int main(int argc, char **argv) {
  if (argc > 1 && std::string(argv[1]) == "--bare") return run_bare();
  const std::chrono::seconds window(argc > 1 ? std::atoi(argv[1]) : 60);
  const std::vector<std::string> sim_env = {std::string("LD_LIBRARY_PATH=") + SIM_DIR};

  pid_t camserve = kb::spawn({CAMSERVE}, sim_env);
  double idle = cpu_share_over(camserve, kCpuWindow);
  std::printf("idle, no subscriber: camserve CPU %.2f %% of a core (target <= 3 %%)\n", idle * 100);

  StreamFigures node;
  {
    Subscriber sub("node_bench");
    for (const char *t : {"rgb/image_raw", "depth_registered/image_raw"}) {
      sub.add(std::string("rt/camera/") + t, kImage);
    }
    for (const char *t : {"rgb/camera_info", "depth_registered/camera_info"}) {
      sub.add(std::string("rt/camera/") + t, kInfo);
    }
    node = measure(sub, camserve, window);
  }
  StreamFigures bare;
  {
    pid_t bare_pid = kb::spawn({argv[0], "--bare"}, sim_env);
    Subscriber sub("node_bench");
    for (const char *t : {"rgb/image_raw", "depth_registered/image_raw"}) {
      sub.add(std::string("rt/bare/") + t, kImage);
    }
    for (const char *t : {"rgb/camera_info", "depth_registered/camera_info"}) {
      sub.add(std::string("rt/bare/") + t, kInfo);
    }
    bare = measure(sub, bare_pid, window);
    kb::stop(bare_pid);
  }
  std::printf("rgb + registered depth + camera infos, %lld s, one subscriber:\n",
              static_cast<long long>(window.count()));
  std::printf(
      "  camserve: latency median %.3f ms p99 %.3f ms, %zu samples, %ld lost, CPU %.2f %%\n",
      node.median_ms, node.p99_ms, node.samples, node.lost, node.cpu_share * 100);
  std::printf(
      "  bare:     latency median %.3f ms p99 %.3f ms, %zu samples, %ld lost, CPU %.2f %%\n",
      bare.median_ms, bare.p99_ms, bare.samples, bare.lost, bare.cpu_share * 100);
  std::printf("  ratios: median %.2f x, p99 %.2f x (target <= 1.2), CPU %.2f x (target <= 1.3)\n",
              node.median_ms / bare.median_ms, node.p99_ms / bare.p99_ms,
              node.cpu_share / bare.cpu_share);

  {
    Subscriber sub("node_bench");
    sub.add("rt/camera/depth_registered/points", kCloud);
    StreamFigures cloud = measure(sub, camserve, window);
    std::printf(
        "XYZRGB cloud, %lld s, one subscriber: %zu clouds, %ld lost, latency median %.2f "
        "ms, camserve CPU %.2f %%\n",
        static_cast<long long>(window.count()), cloud.samples, cloud.lost, cloud.median_ms,
        cloud.cpu_share * 100);
  }

  double one, four;
  {
    Subscriber sub("rgb_1");
    sub.add("rt/camera/rgb/image_raw", kImage);
    one = cpu_share_over(camserve, kCpuWindow);
  }
  {
    std::vector<std::unique_ptr<Subscriber>> subs;
    for (int i = 0; i < 4; ++i) {
      subs.push_back(std::make_unique<Subscriber>("rgb_" + std::to_string(i)));
      subs.back()->add("rt/camera/rgb/image_raw", kImage);
    }
    four = cpu_share_over(camserve, kCpuWindow);
  }
  std::printf(
      "rgb fan-out: camserve CPU %.2f %% with one subscriber, %.2f %% with four: %.2f x "
      "(target <= 1.5)\n",
      one * 100, four * 100, four / one);
  kb::stop(camserve);

  CloudFigures cloud = cloud_writes();
  std::printf(
      "one XYZRGB cloud: built and written %.2f ms, written already built %.2f ms (the "
      "floor): %.2f x (target <= 2); a bare memcpy of its 9.8 MB %.2f ms\n",
      cloud.build_write_ms, cloud.write_built_ms, cloud.build_write_ms / cloud.write_built_ms,
      cloud.memcpy_ms);
  return 0;
}
