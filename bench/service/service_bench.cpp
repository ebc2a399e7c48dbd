// Figures of the live Camera service on the simulated Kinect, measured inside
// a private network namespace (run it through tests/harness/private_net.sh):
//
//   service_bench [calls]     (default 10000)
//
// 1. camserve in fast pacing; after a warm-up, `calls` back-to-back calls of
//    a 640 × 480 RGB picture: round-trip median and p99, calls per second,
//    and camserve's RSS before and after them.
// 2. Beside it, a bare Fast-DDS transfer with the same participant and
//    endpoint settings: a 2-byte request answered with a ready 921,600-byte
//    payload by a second process (this binary run as `service_bench --echo`).
// 3. camserve idle at real-time pacing: CPU share of one core over 10 s.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/rtps/common/WriteParams.h>

#include "bench_process.hpp"
#include "dds_setup.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "topic_type.hpp"

extern char **environ;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fdds = eprosima::fastdds::dds;
namespace svc = kestrel::service;

// Calls before the memory reading: enough for camserve's history and its
// shared-memory segment (whose pages count once touched) to be in full use.
constexpr int kWarmUpCalls = 2000;
constexpr size_t kPictureBytes = 640 * 480 * 3;  // one rgb8 frame
constexpr auto kIdleRun = 10s;                   // idle CPU window
constexpr auto kIdleSettle = 2s;                 // start-up and discovery before it
constexpr int kPacedCalls = 300;  // back-to-back calls at real-time pacing: 10 s at 30 frames/s
constexpr int kPacedWarmUp = 10;  // calls before them (the first tilt moves the motor)
constexpr int kCrowd = 50;        // clients calling at the same moment
constexpr auto kCrowdWait = 10s;  // how long each of them waits for its reply
constexpr char kBareRequest[] = "bench/bareRequest";
constexpr char kBareReply[] = "bench/bareReply";
constexpr char kBareType[] = "kestrel_bench::BarePayload_";

// ------------------------------------------------------------ processes

using kestrel::bench::cpu_seconds;
using kestrel::bench::spawn;
using kestrel::bench::stop;

// A field of /proc/<pid>/status in KiB ("VmRSS", "RssAnon", "RssShmem").
static long status_kib(pid_t pid, const std::string &field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

struct Memory {
  long rss, anon, shmem;  // KiB: resident in all, anonymous, shared memory
};

static Memory memory_of(pid_t pid) {
  return {status_kib(pid, "VmRSS"), status_kib(pid, "RssAnon"), status_kib(pid, "RssShmem")};
}

// ------------------------------------------------------------- calling

// One writer and one reader on a node's request and reply topics.
struct Caller {
  fdds::DataWriter *writer;
  fdds::DataReader *reader;
};

static Caller make_caller(fdds::Publisher *publisher, fdds::Topic *request,
                          fdds::Subscriber *subscriber, fdds::Topic *reply) {
  Caller caller{publisher->create_datawriter(request, svc::endpoint_writer_qos()),
                subscriber->create_datareader(reply, svc::endpoint_reader_qos())};
  if (!caller.writer || !caller.reader) {
    std::fprintf(stderr, "service_bench: cannot create endpoints\n");
    std::exit(2);
  }
  for (auto deadline = Clock::now() + 20s;;) {
    fdds::PublicationMatchedStatus published;
    fdds::SubscriptionMatchedStatus subscribed;
    caller.writer->get_publication_matched_status(published);
    caller.reader->get_subscription_matched_status(subscribed);
    if (published.current_count > 0 && subscribed.current_count > 0) break;
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "service_bench: no peer matched\n");
      std::exit(2);
    }
    std::this_thread::sleep_for(10ms);
  }
  return caller;
}

// One call: write `request`, take replies until one names it. Seconds, or
// a negative value when none comes within `timeout`.
static double call_once(const Caller &caller, void *request, void *reply,
                        Clock::duration timeout = 5s) {
  eprosima::fastrtps::rtps::WriteParams params;
  params.related_sample_identity().writer_guid(caller.reader->guid());
  Clock::time_point start = Clock::now();
  caller.writer->write(request, params);
  for (;;) {
    fdds::SampleInfo info;
    while (caller.reader->take_next_sample(reply, &info) == ReturnCode_t::RETCODE_OK) {
      const eprosima::fastrtps::rtps::SampleIdentity &related = info.related_sample_identity;
      if (info.valid_data && related.writer_guid() == caller.reader->guid() &&
          related.sequence_number() == params.sample_identity().sequence_number()) {
        return std::chrono::duration<double>(Clock::now() - start).count();
      }
    }
    if (Clock::now() - start > timeout) return -1;
    caller.reader->wait_for_unread_message({0, 100000000});
  }
}

// A call of the figures' runs, which must be answered within 5 s.
static double timed_call(const Caller &caller, void *request, void *reply) {
  double seconds = call_once(caller, request, reply);
  if (seconds < 0) {
    std::fprintf(stderr, "service_bench: no reply within 5 s\n");
    std::exit(2);
  }
  return seconds;
}

struct Figures {
  double median_ms, p99_ms, calls_per_s;
};

static Figures run_calls(const Caller &caller, void *request, void *reply, int calls) {
  std::vector<double> times;
  Clock::time_point start = Clock::now();
  for (int i = 0; i < calls; ++i) times.push_back(timed_call(caller, request, reply));
  double total = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(times.begin(), times.end());
  return {1e3 * times[times.size() / 2], 1e3 * times[times.size() * 99 / 100], calls / total};
}

// ---------------------------------------------------------------- crowd

struct Crowd {
  int answered = 0, empty = 0;  // of kCrowd clients; empty: answered with an empty image
  double p99_ms = 0;            // of the answered clients' round trips
};

// kCrowd clients, each its own participant, matched first, then calling at
// the same moment; each waits kCrowdWait for its reply.
static Crowd call_at_once(const svc::ServiceNames &names) {
  std::vector<svc::Node> nodes(kCrowd);
  std::vector<Caller> callers;
  std::string error;
  for (svc::Node &node : nodes) {
    if (!svc::open_node(node, 0, "service_bench_crowd", names, error)) {
      std::fprintf(stderr, "service_bench: %s\n", error.c_str());
      std::exit(2);
    }
    callers.push_back(
        make_caller(node.publisher, node.request_topic, node.subscriber, node.reply_topic));
  }
  std::vector<double> times(kCrowd, -1);
  std::vector<bool> empty(kCrowd, false);
  std::mutex start_mutex;
  std::condition_variable start_signal;
  bool started = false;
  std::vector<std::thread> threads;
  for (int i = 0; i < kCrowd; ++i) {
    threads.emplace_back([&, i] {
      svc::Sample *request = nodes[i].request_type->new_sample();
      svc::Sample *reply = nodes[i].response_type->new_sample();
      {
        std::unique_lock<std::mutex> lock(start_mutex);
        start_signal.wait(lock, [&] { return started; });
      }
      times[i] = call_once(callers[i], request, reply, kCrowdWait);
      empty[i] =
          static_cast<kestrel_ifaces__srv__Camera_Response *>(reply->message)->image.data.size == 0;
      nodes[i].request_type->deleteData(request);
      nodes[i].response_type->deleteData(reply);
    });
  }
  {
    std::lock_guard<std::mutex> lock(start_mutex);
    started = true;
  }
  start_signal.notify_all();
  for (std::thread &thread : threads) thread.join();
  for (svc::Node &node : nodes) svc::close_node(node);

  Crowd crowd;
  std::vector<double> answered;
  for (int i = 0; i < kCrowd; ++i) {
    if (times[i] < 0) continue;
    answered.push_back(times[i]);
    crowd.empty += empty[i];
  }
  crowd.answered = static_cast<int>(answered.size());
  std::sort(answered.begin(), answered.end());
  if (!answered.empty()) crowd.p99_ms = 1e3 * answered[(answered.size() - 1) * 99 / 100];
  return crowd;
}

// --------------------------------------------------------------- echo

// The bare transfer's far side: answers every request on kBareRequest with
// the same ready 921,600-byte body on kBareReply, related to the request.
static int echo() {
  fdds::DomainParticipant *participant =
      fdds::DomainParticipantFactory::get_instance()->create_participant(
          0, svc::participant_qos("service_bench_echo"));
  fdds::TypeSupport type(new svc::EncodedType(kBareType));
  type.register_type(participant);
  fdds::Topic *request =
      participant->create_topic(kBareRequest, kBareType, fdds::TOPIC_QOS_DEFAULT);
  fdds::Topic *reply = participant->create_topic(kBareReply, kBareType, fdds::TOPIC_QOS_DEFAULT);
  Caller side = make_caller(participant->create_publisher(fdds::PUBLISHER_QOS_DEFAULT), reply,
                            participant->create_subscriber(fdds::SUBSCRIBER_QOS_DEFAULT), request);
  std::vector<char> in, out(kPictureBytes + 32, 7);
  for (;;) {
    side.reader->wait_for_unread_message({1, 0});
    fdds::SampleInfo info;
    while (side.reader->take_next_sample(&in, &info) == ReturnCode_t::RETCODE_OK) {
      if (!info.valid_data) continue;
      eprosima::fastrtps::rtps::WriteParams params;
      eprosima::fastrtps::rtps::SampleIdentity to = info.sample_identity;
      to.writer_guid(info.related_sample_identity.writer_guid());
      params.related_sample_identity(to);
      side.writer->write(&out, params);
    }
  }
}

// ---------------------------------------------------------------- main

static bool in_private_network() {
  std::ifstream devices("/proc/net/dev");
  std::string line;
  int interfaces = 0;
  bool only_lo = true;
  std::getline(devices, line);
  std::getline(devices, line);
  while (std::getline(devices, line)) {
    ++interfaces;
    only_lo = only_lo && line.find("lo:") != std::string::npos;
  }
  return interfaces == 1 && only_lo;
}

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "--echo") == 0) return echo();
  int calls = argc > 1 ? std::atoi(argv[1]) : 10000;
  if (calls < 100 || !in_private_network()) {
    std::fprintf(stderr, "usage: tests/harness/private_net.sh service_bench [calls >= 100]\n");
    return 2;
  }
  const std::string sim_env = std::string("LD_LIBRARY_PATH=") + SIM_DIR;

  // 1. The service, fast pacing.
  pid_t server = spawn({CAMSERVE}, {sim_env, "KSIM_PACE=fast"});
  svc::ServiceNames names{"/camera", "rq/cameraRequest", "rr/cameraReply"};
  svc::Node node;
  std::string error;
  if (!svc::open_node(node, 0, "service_bench", names, error)) {
    std::fprintf(stderr, "service_bench: %s\n", error.c_str());
    return 2;
  }
  Caller camera =
      make_caller(node.publisher, node.request_topic, node.subscriber, node.reply_topic);
  svc::Sample *request = node.request_type->new_sample();
  svc::Sample *reply = node.response_type->new_sample();
  run_calls(camera, request, reply, kWarmUpCalls);
  Memory before = memory_of(server);
  Figures service = run_calls(camera, request, reply, calls);
  Memory after = memory_of(server);
  size_t reply_bytes =
      static_cast<kestrel_ifaces__srv__Camera_Response *>(reply->message)->image.data.size;
  node.request_type->deleteData(request);
  node.response_type->deleteData(reply);
  stop(server);

  // 2. The bare transfer, same settings, same process layout.
  pid_t echo_process = spawn({argv[0], "--echo"}, {});
  fdds::TypeSupport bare_type(new svc::EncodedType(kBareType));
  bare_type.register_type(node.participant);
  Caller bare =
      make_caller(node.publisher,
                  node.participant->create_topic(kBareRequest, kBareType, fdds::TOPIC_QOS_DEFAULT),
                  node.subscriber,
                  node.participant->create_topic(kBareReply, kBareType, fdds::TOPIC_QOS_DEFAULT));
  std::vector<char> bare_request(2), bare_reply;
  run_calls(bare, &bare_request, &bare_reply, kWarmUpCalls);
  Figures transfer = run_calls(bare, &bare_request, &bare_reply, calls);
  kill(echo_process, SIGKILL);
  waitpid(echo_process, nullptr, 0);
  svc::close_node(node);

  // 3. Real-time pacing: idle, then back-to-back calls at one angle, then
  // the crowd.
  pid_t paced = spawn({CAMSERVE}, {sim_env, "KSIM_PACE=realtime"});
  std::this_thread::sleep_for(kIdleSettle);
  double cpu_start = cpu_seconds(paced);
  Clock::time_point idle_start = Clock::now();
  std::this_thread::sleep_for(kIdleRun);
  double idle_share = (cpu_seconds(paced) - cpu_start) /
                      std::chrono::duration<double>(Clock::now() - idle_start).count();
  svc::Node paced_node;
  if (!svc::open_node(paced_node, 0, "service_bench", names, error)) {
    std::fprintf(stderr, "service_bench: %s\n", error.c_str());
    return 2;
  }
  Caller paced_caller = make_caller(paced_node.publisher, paced_node.request_topic,
                                    paced_node.subscriber, paced_node.reply_topic);
  request = paced_node.request_type->new_sample();
  reply = paced_node.response_type->new_sample();
  run_calls(paced_caller, request, reply, kPacedWarmUp);
  Figures one_angle = run_calls(paced_caller, request, reply, kPacedCalls);
  paced_node.request_type->deleteData(request);
  paced_node.response_type->deleteData(reply);
  svc::close_node(paced_node);
  Crowd crowd = call_at_once(names);
  stop(paced);

  double ratio = service.median_ms / transfer.median_ms;
  long growth = after.rss - before.rss;
  std::printf("reply: %zu pixel bytes; %d calls after %d warm-up calls\n", reply_bytes, calls,
              kWarmUpCalls);
  std::printf("service round trip: median %.3f ms, p99 %.3f ms, %.0f calls/s\n", service.median_ms,
              service.p99_ms, service.calls_per_s);
  std::printf("bare transfer:      median %.3f ms, p99 %.3f ms, %.0f calls/s\n", transfer.median_ms,
              transfer.p99_ms, transfer.calls_per_s);
  std::printf("round trip / bare transfer: %.2f (target <= 1.5); calls/s target >= 200\n", ratio);
  std::printf(
      "camserve RSS: %ld KiB before, %ld KiB after, growth %ld KiB (target < 1024); "
      "anonymous %ld -> %ld KiB, shared memory %ld -> %ld KiB\n",
      before.rss, after.rss, growth, before.anon, after.anon, before.shmem, after.shmem);
  std::printf("camserve idle: %.2f %% of one core over %.1f s (target < 3 %%)\n", 100 * idle_share,
              std::chrono::duration<double>(kIdleRun).count());
  std::printf(
      "one angle, real-time pacing: median %.1f ms, p99 %.1f ms, %.1f calls/s (target >= 25) "
      "over %d calls\n",
      one_angle.median_ms, one_angle.p99_ms, one_angle.calls_per_s, kPacedCalls);
  std::printf("%d clients at once: %d answered (%d empty), p99 %.0f ms (target: all answered)\n",
              kCrowd, crowd.answered, crowd.empty, crowd.p99_ms);
  bool met = ratio <= 1.5 && service.calls_per_s >= 200 && growth < 1024 && idle_share < 0.03 &&
             one_angle.calls_per_s >= 25 && crowd.answered == kCrowd && crowd.empty == 0;
  return met ? 0 : 1;
}
