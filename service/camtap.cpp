// camtap: listens to the Kinect node's topics for a while, as `ros2 topic hz`
// and `ros2 topic echo` would, without ROS 2.
//
//   camtap [--namespace NS] [--seconds S] [--save DIR] [TOPIC...]
//
// TOPIC is one of the node's topics (kTopics), relative to NS (default
// "camera") unless it starts with a slash. With no TOPIC, camtap listens to
// every one and reports those a writer offered within S seconds (default 5).
// Per topic it prints the message count, the rate and the bandwidth, then
// the first message's header and fields. --save DIR writes the first image of
// each image topic (PNG), each camera info (calibrator YAML) and each cloud
// (binary PLY) into DIR, named after the topic. Exit 0 when every topic
// asked for (or every offered one) sent a message, 1 when one sent nothing in
// S seconds or a file cannot be written, 2 on bad usage.
//
// Readers are reliable, volatile, keep last 5, as the node's writers are
// reliable (a reliable reader matches only reliable writers, which is what
// RViz2 subscribes with too); /tf_static is read transient local, as static
// transforms are written. Threads: Fast-DDS's listener threads take the
// samples and update each tap under its lock; the main thread waits S
// seconds (or until SIGINT/SIGTERM), then reads the taps.
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "camera_info.hpp"
#include "cloud_file.hpp"
#include "dds_setup.hpp"
#include "image_file.hpp"
#include "message_text.hpp"
#include "message_topic_type.hpp"
#include "ros_cdr.hpp"
#include "ros_names.hpp"
#include "topic_names.hpp"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fdds = eprosima::fastdds::dds;
namespace msgs = kestrel::msgs;
namespace svc = kestrel::service;

constexpr char kNodeName[] = "camtap";
constexpr char kDefaultNamespace[] = "camera";
constexpr double kDefaultSeconds = 5;
constexpr double kMaxSeconds = 86400;
constexpr int32_t kHistoryDepth = 5;  // samples a reader keeps, as the node's writers
constexpr auto kWaitStep = 50ms;      // how soon a signal ends the wait
constexpr double kBytesPerMegabyte = 1e6;

enum class Kind { image, camera_info, cloud, imu, tf };

// The node's topics, in the order camtap reports them.
struct TopicSpec {
  const char *name;
  Kind kind;
};
constexpr TopicSpec kTopics[] = {
    {"rgb/image_raw", Kind::image},
    {"rgb/camera_info", Kind::camera_info},
    {"depth_registered/image_raw", Kind::image},
    {"depth_registered/camera_info", Kind::camera_info},
    {"depth_registered/points", Kind::cloud},
    {"depth/image_raw", Kind::image},
    {"depth/camera_info", Kind::camera_info},
    {"depth/points", Kind::cloud},
    {"imu", Kind::imu},
    {"/tf_static", Kind::tf},
};

// Set by the signal handler, read by the main thread's wait.
static std::atomic<bool> g_stop{false};

static void on_signal(int) {
  g_stop = true;
}

struct Options {
  std::string ns = kDefaultNamespace;
  double seconds = kDefaultSeconds;
  std::string save_dir;                   // empty: nothing saved
  std::vector<const TopicSpec *> topics;  // empty: all of kTopics, reported when offered
};

// ------------------------------------------------------------------ taps

// One topic's reader and what it delivered. The listener thread writes the
// counts and the first message under `mutex`; the main thread reads them
// after the wait, under the same lock.
class Tap : public fdds::DataReaderListener {
 public:
  explicit Tap(const TopicSpec &spec) : spec(spec) {}
  virtual ~Tap() = default;

  const TopicSpec &spec;
  fdds::DataReader *reader = nullptr;

  // Registers the type with the participant (once per type name) and gives its name.
  virtual std::string register_type(fdds::DomainParticipant *participant) = 0;
  // The first message's lines, and writing it into `dir`; call after the wait.
  virtual std::vector<std::string> describe_first() = 0;
  virtual bool save_first(const std::string &dir, std::string &error) = 0;

  struct Counts {
    size_t messages = 0;
    uint64_t bytes = 0;
    size_t malformed = 0;
    Clock::time_point first_at, last_at;
  };
  Counts counts() {
    std::lock_guard<std::mutex> lock(mutex);
    return counts_;
  }

 protected:
  std::mutex mutex;
  Counts counts_;  // guarded by mutex
};

// "rgb/image_raw" → "rgb_image_raw", "/tf_static" → "tf_static".
static std::string file_stem(const std::string &topic) {
  std::string stem = topic[0] == '/' ? topic.substr(1) : topic;
  for (char &c : stem) {
    if (c == '/') c = '_';
  }
  return stem;
}

// A view of `image` as the C message image_file writes; it borrows the
// strings and the data, and must not be finalised.
static sensor_msgs__msg__Image c_view(const msgs::Image &image) {
  sensor_msgs__msg__Image view{};
  view.height = image.height;
  view.width = image.width;
  view.encoding.data = const_cast<char *>(image.encoding.c_str());
  view.encoding.size = image.encoding.size();
  view.encoding.capacity = image.encoding.size() + 1;
  view.is_bigendian = image.is_bigendian;
  view.step = image.step;
  view.data.data = const_cast<uint8_t *>(image.data.bytes.data());
  view.data.size = image.data.bytes.size();
  view.data.capacity = image.data.bytes.size();
  return view;
}

static bool save(const std::string &path, const msgs::Image &image, const std::string &,
                 std::string &error) {
  return svc::write_image_file(path + ".png", c_view(image), error);
}

static bool save(const std::string &path, const msgs::CameraInfo &info, const std::string &topic,
                 std::string &error) {
  // The camera's name: the topic's folder ("rgb", "depth_registered").
  return msgs::write_calibration_file(path + ".yaml", {topic.substr(0, topic.rfind('/')), info},
                                      error);
}

static bool save(const std::string &path, const msgs::PointCloud2 &cloud, const std::string &,
                 std::string &error) {
  return msgs::write_ply_file(path + ".ply", cloud, error);
}

template <class Msg>
static bool save(const std::string &, const Msg &, const std::string &, std::string &) {
  return true;  // imu and transforms are printed only
}

template <class Msg>
class TypedTap : public Tap {
 public:
  using Tap::Tap;

  std::string register_type(fdds::DomainParticipant *participant) override {
    const char *name = msgs::dds_type_name<Msg>();
    if (!participant->find_type(name).empty()) return name;
    fdds::TypeSupport type(new msgs::MessageTopicType<Msg>());
    return type.register_type(participant) == ReturnCode_t::RETCODE_OK ? name : "";
  }

  void on_data_available(fdds::DataReader *reader) override {
    fdds::SampleInfo info;
    while (reader->take_next_sample(&scratch_, &info) == ReturnCode_t::RETCODE_OK) {
      if (!info.valid_data) continue;
      const Clock::time_point now = Clock::now();
      std::lock_guard<std::mutex> lock(mutex);
      if (!scratch_.error.empty()) {
        if (counts_.malformed++ == 0) {
          std::fprintf(stderr, "camtap: %s: dropped a malformed message: %s\n", spec.name,
                       scratch_.error.c_str());
        }
        continue;
      }
      counts_.bytes += scratch_.payload_bytes;
      counts_.last_at = now;
      if (counts_.messages++ == 0) {
        counts_.first_at = now;
        std::swap(first_, scratch_);
      }
    }
  }

  std::vector<std::string> describe_first() override {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> lines = msgs::describe(first_.msg);
    lines.insert(lines.begin(), msgs::ros_type_name<Msg>());
    return lines;
  }

  bool save_first(const std::string &dir, std::string &error) override {
    std::lock_guard<std::mutex> lock(mutex);
    return save(dir + "/" + file_stem(spec.name), first_.msg, spec.name, error);
  }

 private:
  msgs::Received<Msg> first_;    // the first decodable message; guarded by mutex
  msgs::Received<Msg> scratch_;  // the listener thread's own
};

static std::unique_ptr<Tap> make_tap(const TopicSpec &spec) {
  switch (spec.kind) {
    case Kind::image:
      return std::make_unique<TypedTap<msgs::Image>>(spec);
    case Kind::camera_info:
      return std::make_unique<TypedTap<msgs::CameraInfo>>(spec);
    case Kind::cloud:
      return std::make_unique<TypedTap<msgs::PointCloud2>>(spec);
    case Kind::imu:
      return std::make_unique<TypedTap<msgs::Imu>>(spec);
    case Kind::tf:
      return std::make_unique<TypedTap<msgs::TFMessage>>(spec);
  }
  return nullptr;
}

// --------------------------------------------------------------- options

static const TopicSpec *find_topic(const std::string &name) {
  for (const TopicSpec &spec : kTopics) {
    if (name == spec.name || (name[0] != '/' && "/" + name == spec.name)) return &spec;
  }
  return nullptr;
}

static bool parse_options(int argc, char **argv, Options &opts, std::string &error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--namespace" || arg == "--seconds" || arg == "--save") {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      const std::string value = argv[++i];
      if (arg == "--namespace") {
        opts.ns = value;
      } else if (arg == "--save") {
        opts.save_dir = value;
      } else {
        char *end = nullptr;
        opts.seconds = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || !std::isfinite(opts.seconds) || opts.seconds <= 0 ||
            opts.seconds > kMaxSeconds) {
          error = "--seconds takes a number of seconds above 0, not '" + value + "'";
          return false;
        }
      }
    } else if (arg.rfind("--", 0) == 0 || arg.empty()) {
      error = "unknown option '" + arg + "'";
      return false;
    } else if (const TopicSpec *spec = find_topic(arg)) {
      opts.topics.push_back(spec);
    } else {
      error = "'" + arg + "' is none of the node's topics:";
      for (const TopicSpec &known : kTopics) error += std::string(" ") + known.name;
      return false;
    }
  }
  if (!msgs::dds_topic_name(opts.ns, kTopics[0].name, error)) {
    error = "--namespace: " + error;
    return false;
  }
  return true;
}

// ------------------------------------------------------------------ main

// The participant with a reader per tap; false with the reason.
static bool open_readers(fdds::DomainParticipant *participant, const Options &opts,
                         std::vector<std::unique_ptr<Tap>> &taps, std::string &error) {
  fdds::Subscriber *subscriber = participant->create_subscriber(fdds::SUBSCRIBER_QOS_DEFAULT);
  if (!subscriber) {
    error = "cannot create a subscriber";
    return false;
  }
  for (auto &tap : taps) {
    std::optional<std::string> topic_name = msgs::dds_topic_name(opts.ns, tap->spec.name, error);
    if (!topic_name) return false;
    const std::string type_name = tap->register_type(participant);
    fdds::Topic *topic = type_name.empty() ? nullptr
                                           : participant->create_topic(*topic_name, type_name,
                                                                       fdds::TOPIC_QOS_DEFAULT);
    fdds::DataReaderQos qos = svc::endpoint_reader_qos();
    qos.history().depth = kHistoryDepth;
    if (tap->spec.kind == Kind::tf) qos.durability().kind = fdds::TRANSIENT_LOCAL_DURABILITY_QOS;
    tap->reader = topic ? subscriber->create_datareader(topic, qos, tap.get()) : nullptr;
    if (!tap->reader) {
      error = "cannot subscribe to " + *topic_name;
      return false;
    }
  }
  return true;
}

static void wait_for(double seconds) {
  const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(seconds));
  while (!g_stop && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::min<Clock::duration>(kWaitStep, deadline - Clock::now()));
  }
}

static bool offered(const Tap &tap) {
  fdds::SubscriptionMatchedStatus status;
  return tap.reader->get_subscription_matched_status(status) == ReturnCode_t::RETCODE_OK &&
         status.total_count > 0;
}

// Prints one topic's report; false when it sent nothing.
static bool report(Tap &tap, const Options &opts) {
  const Tap::Counts counts = tap.counts();
  const std::string malformed =
      counts.malformed ? ", " + std::to_string(counts.malformed) + " malformed" : "";
  if (counts.messages == 0) {
    std::printf("%s: nothing in %g s%s\n", tap.spec.name, opts.seconds, malformed.c_str());
    std::fprintf(stderr, "camtap: %s sent nothing in %g s\n", tap.spec.name, opts.seconds);
    return false;
  }
  const double span = std::chrono::duration<double>(counts.last_at - counts.first_at).count();
  std::string rate = "rate needs two messages";
  if (counts.messages > 1 && span > 0) {
    const double hz = (counts.messages - 1) / span;
    const double mean_bytes = static_cast<double>(counts.bytes) / counts.messages;
    char text[96];
    std::snprintf(text, sizeof text, "%.2f Hz, %.3f MB/s", hz, hz * mean_bytes / kBytesPerMegabyte);
    rate = text;
  }
  std::printf("%s: %zu messages, %s, %llu bytes%s\n", tap.spec.name, counts.messages, rate.c_str(),
              static_cast<unsigned long long>(counts.bytes), malformed.c_str());
  for (const std::string &line : tap.describe_first()) std::printf("  %s\n", line.c_str());
  return true;
}

int main(int argc, char **argv) {
  Options opts;
  std::string error;
  if (!parse_options(argc, argv, opts, error)) {
    std::fprintf(stderr,
                 "camtap: %s\nusage: camtap [--namespace NS] [--seconds S] [--save DIR] "
                 "[TOPIC...]\n",
                 error.c_str());
    return 2;
  }
  std::optional<uint32_t> domain = svc::parse_domain_id(std::getenv("ROS_DOMAIN_ID"), error);
  if (!domain) {
    std::fprintf(stderr, "camtap: %s\n", error.c_str());
    return 1;
  }
  if (!opts.save_dir.empty() && mkdir(opts.save_dir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "camtap: cannot create '%s': %s\n", opts.save_dir.c_str(),
                 std::strerror(errno));
    return 1;
  }
  const bool listed = !opts.topics.empty();
  std::vector<std::unique_ptr<Tap>> taps;
  if (listed) {
    for (const TopicSpec *spec : opts.topics) taps.push_back(make_tap(*spec));
  } else {
    for (const TopicSpec &spec : kTopics) taps.push_back(make_tap(spec));
  }

  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  fdds::DomainParticipantFactory *factory = fdds::DomainParticipantFactory::get_instance();
  fdds::DomainParticipant *participant =
      factory->create_participant(*domain, svc::participant_qos(kNodeName));
  if (!participant) {
    std::fprintf(stderr, "camtap: cannot create a DDS participant on domain %u\n", *domain);
    return 1;
  }
  int status = 0;
  if (!open_readers(participant, opts, taps, error)) {
    std::fprintf(stderr, "camtap: %s\n", error.c_str());
    status = 1;
  } else {
    wait_for(opts.seconds);
    // Counting stops here, so that every report covers the same S seconds.
    for (auto &tap : taps) tap->reader->set_listener(nullptr);
    size_t reported = 0;
    for (auto &tap : taps) {
      if (!listed && tap->counts().messages == 0 && !offered(*tap)) continue;
      ++reported;
      if (!report(*tap, opts)) {
        status = 1;
      } else if (!opts.save_dir.empty() && !tap->save_first(opts.save_dir, error)) {
        std::fprintf(stderr, "camtap: %s: %s\n", tap->spec.name, error.c_str());
        status = 1;
      }
    }
    if (reported == 0) {
      std::printf("no topic of namespace %s in %g s\n", opts.ns.c_str(), opts.seconds);
      std::fprintf(stderr, "camtap: no topic of namespace %s sent anything in %g s\n",
                   opts.ns.c_str(), opts.seconds);
      status = 1;
    }
  }
  participant->delete_contained_entities();
  factory->delete_participant(participant);
  return status;
}
