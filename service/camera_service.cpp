// The Camera service's queue, its replies and the serving of one request.
#include "camera_service.hpp"

#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/rtps/common/WriteParams.h>

#include <algorithm>
#include <cstdio>

#include "kestrel_ifaces/srv/camera.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"

using namespace std::chrono_literals;
using eprosima::fastrtps::rtps::GUID_t;
namespace fdds = eprosima::fastdds::dds;

namespace kestrel::service {

namespace {

constexpr uint32_t kRgbStep = kWidth * 3;    // bytes per rgb8 row
constexpr uint32_t kDepthStep = kWidth * 2;  // bytes per 16UC1 row (millimetres)
// A request is answered within kPromise of its arrival: the frame must come
// by kFrameDeadline, leaving time to wait for the client's reader and to write.
constexpr auto kPromise = 5000ms;
constexpr auto kFrameDeadline = 4300ms;
// Longest wait aside for a client's reply reader to be matched: discovery of
// a new client's endpoints can lag behind its first request on a busy
// machine, and waiting aside holds up nobody.
constexpr auto kReaderWait = 1000ms;
constexpr size_t kMaxAside = 100;  // requests aside beyond this: the oldest is given up
// How long past its frame's deadline a reply may wait for the readers to
// acknowledge the one it would push out of the writer's history: two
// heartbeats, time for a reader that lost fragments to ask again and get them.
constexpr auto kAckPause = 200ms;
const eprosima::fastrtps::Duration_t kAckWait{2, 0};  // longest wait for the last reply's delivery
constexpr size_t kMaxQueued = 1000;                   // requests waiting beyond this are dropped

eprosima::fastrtps::Duration_t dds_duration(Clock::duration span) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(span, Clock::duration(0)))
                .count();
  return {static_cast<int32_t>(ns / 1000000000), static_cast<uint32_t>(ns % 1000000000)};
}

unsigned long long sequence_of(const eprosima::fastrtps::rtps::SampleIdentity &identity) {
  return static_cast<unsigned long long>(identity.sequence_number().to64long());
}

}  // namespace

void RequestQueue::release() {
  std::lock_guard<std::mutex> take_lock(take_mutex_);
  type_->deleteData(sample_);
  sample_ = nullptr;
}

void RequestQueue::on_data_available(fdds::DataReader *reader) {
  std::lock_guard<std::mutex> take_lock(take_mutex_);
  if (!sample_) {
    return;
  }
  fdds::SampleInfo info;
  while (reader->take_next_sample(sample_, &info) == ReturnCode_t::RETCODE_OK) {
    if (!info.valid_data) {
      continue;
    }
    if (!sample_->error.empty()) {
      std::fprintf(stderr, "camserve: dropped a request from %s: %s\n",
                   guid_text(info.sample_identity.writer_guid()).c_str(), sample_->error.c_str());
      continue;
    }
    Request request;
    request.angle = static_cast<kestrel_ifaces__srv__Camera_Request *>(sample_->message)->angle;
    request.reply_to = info.sample_identity;
    // The client names its reply reader as the related writer GUID; a
    // client that does not is answered under its request writer's GUID.
    if (info.related_sample_identity.writer_guid() != GUID_t::unknown()) {
      request.reply_to.writer_guid(info.related_sample_identity.writer_guid());
      request.reader_known = true;
    }
    request.arrived = Clock::now();
    push(request);
  }
}

std::optional<Request> RequestQueue::pop(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  arrived_.wait_for(lock, timeout, [&] { return !queue_.empty() || woken_; });
  woken_ = false;
  if (queue_.empty()) {
    return std::nullopt;
  }
  Request request = queue_.front();
  queue_.pop_front();
  return request;
}

void RequestQueue::wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  arrived_.notify_one();
}

void RequestQueue::put_back(const Request &request) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_front(request);
}

void RequestQueue::push(const Request &request) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.size() >= kMaxQueued) {
      std::fprintf(stderr, "camserve: %zu requests already wait; dropped one\n", kMaxQueued);
      return;
    }
    queue_.push_back(request);
  }
  arrived_.notify_one();
}

namespace {

sensor_msgs__msg__Image &image_of(Sample *sample) {
  return static_cast<kestrel_ifaces__srv__Camera_Response *>(sample->message)->image;
}

bool prepare_replies(CameraService &service, const Device &device, const std::string &frame_id) {
  service.full = service.node->response_type->new_sample();
  service.empty = service.node->response_type->new_sample();
  if (!service.full || !service.empty) {
    return false;
  }
  sensor_msgs__msg__Image &full = image_of(service.full);
  full.height = kHeight;
  full.width = kWidth;
  full.step = device.depth ? kDepthStep : kRgbStep;
  full.is_bigendian = 0;  // 16-bit depth comes in host order, little endian here
  return rosidl_runtime_c__String__assign(&full.header.frame_id, frame_id.c_str()) &&
         rosidl_runtime_c__String__assign(&full.encoding, device.depth ? "16UC1" : "rgb8") &&
         rosidl_runtime_c__uint8__Sequence__init(&full.data, device.frame_bytes) &&
         rosidl_runtime_c__String__assign(&image_of(service.empty).header.frame_id,
                                          frame_id.c_str());
}

// Tilts, waits for the motor, takes the picture; the reply to send.
Sample *capture(CameraService &service, Device &device, const Request &request) {
  Clock::time_point deadline = request.arrived + kFrameDeadline;
  double angle = std::clamp<double>(request.angle, kMinTilt, kMaxTilt);
  if (angle != request.angle) {
    std::fprintf(stderr, "camserve: angle %d clamped to %g degrees\n", request.angle, angle);
  }
  sensor_msgs__msg__Image &image = image_of(service.full);
  std::chrono::system_clock::time_point stamp;
  std::string reason;
  if (!take_frame(device, angle, image.data.data, deadline, stamp, reason)) {
    std::fprintf(stderr, "camserve: empty reply to request %llu: %s\n",
                 sequence_of(request.reply_to), reason.c_str());
    return service.empty;
  }
  auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(stamp.time_since_epoch());
  image.header.stamp.sec = static_cast<int32_t>(since_epoch.count() / 1000000000);
  image.header.stamp.nanosec = static_cast<uint32_t>(since_epoch.count() % 1000000000);
  return service.full;
}

// The client can be answered: its reply reader is matched or, when it named
// none, some reader of its participant is (the reply goes out under its
// request writer's GUID, which only that participant's readers accept).
bool reader_matched(CameraService &service, const Request &request) {
  const GUID_t &to = request.reply_to.writer_guid();
  return request.reader_known ? service.matched.has(to)
                              : service.matched.has_participant(to.guidPrefix);
}

void give_up(const Request &request, const char *why) {
  std::fprintf(stderr, "camserve: request %llu of %s given up: %s\n", sequence_of(request.reply_to),
               guid_text(request.reply_to.writer_guid()).c_str(), why);
}

// Writes the reply. The writer keeps the last kReplyHistoryDepth replies
// until every reader acknowledges them; a reply beyond that pushes out the
// oldest. While the oldest one's promise runs, the writer first waits for the
// readers (as long as this request's own promise allows), and names the
// reply it then pushes out. One whose promise has run out goes without a
// word: its client has had its time, and a reader that vanished without
// leaving acknowledges nothing until its participant's lease ends.
void reply(CameraService &service, const Request &request, Sample *sample) {
  if (service.unacknowledged.size() >= static_cast<size_t>(kReplyHistoryDepth)) {
    const Written &oldest = service.unacknowledged.front();
    Clock::time_point now = Clock::now();
    Clock::time_point until =
        std::min(oldest.promised_by, request.arrived + kFrameDeadline + kAckPause);
    if (service.writer->wait_for_acknowledgments(dds_duration(until - now)) ==
        ReturnCode_t::RETCODE_OK) {
      service.unacknowledged.clear();
    } else {
      if (Clock::now() < oldest.promised_by) {
        std::fprintf(stderr,
                     "camserve: readers have not acknowledged the last %d replies; the reply to "
                     "request %llu of %s may not reach it\n",
                     kReplyHistoryDepth, sequence_of(oldest.reply_to),
                     guid_text(oldest.reply_to.writer_guid()).c_str());
      }
      service.unacknowledged.pop_front();
    }
  }
  eprosima::fastrtps::rtps::WriteParams params;
  params.related_sample_identity(request.reply_to);
  if (!service.writer->write(sample, params)) {
    std::fprintf(stderr, "camserve: cannot write the reply to request %llu\n",
                 sequence_of(request.reply_to));
    return;
  }
  service.unacknowledged.push_back({request.reply_to, request.arrived + kPromise});
}

void serve(CameraService &service, Device &device, const Request &request) {
  reply(service, request, capture(service, device, request));
}

// Gives up the requests aside whose reader has not come within kReaderWait;
// serves the oldest whose reader has come. True when it did either.
bool serve_aside(CameraService &service, Device &device) {
  Clock::time_point now = Clock::now();
  bool done = false;
  for (auto it = service.aside.begin(); it != service.aside.end();) {
    if (reader_matched(service, *it)) {
      Request request = *it;
      service.aside.erase(it);
      serve(service, device, request);
      return true;
    }
    if (now >= it->arrived + kReaderWait) {
      give_up(*it, "its client's reply reader did not appear within 1 s");
      it = service.aside.erase(it);
      done = true;
    } else {
      ++it;
    }
  }
  return done;
}

}  // namespace

bool open_camera_service(CameraService &service, Node &node, const Device &device,
                         const std::string &frame_id, std::string &error) {
  service.node = &node;
  service.queue = std::make_unique<RequestQueue>(node.request_type);
  // A reader's coming ends the queue's wait, so a request aside goes on at once.
  RequestQueue *queue = service.queue.get();
  service.matched.on_change = [queue] { queue->wake(); };
  service.reader = node.subscriber->create_datareader(node.request_topic, endpoint_reader_qos(),
                                                      service.queue.get());
  fdds::DataWriterQos reply_qos = endpoint_writer_qos();
  reply_qos.history().depth = kReplyHistoryDepth;
  service.writer = node.publisher->create_datawriter(node.reply_topic, reply_qos, &service.matched);
  if (!service.reader || !service.writer || !prepare_replies(service, device, frame_id)) {
    error = "cannot create the endpoints of " + node.request_topic->get_name();
    return false;
  }
  return true;
}

bool serve_next(CameraService &service, Device &device, std::chrono::milliseconds timeout) {
  if (serve_aside(service, device)) {
    return true;
  }
  // While requests wait aside, wake by the time the oldest is to be given up.
  if (!service.aside.empty()) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(service.aside.front().arrived +
                                                             kReaderWait - Clock::now());
    timeout = std::clamp(left, 0ms, timeout);
  }
  std::optional<Request> request = service.queue->pop(timeout);
  if (!request) {
    return !service.aside.empty();
  }
  if (reader_matched(service, *request)) {
    // A reader may have come while this request was popped: an earlier
    // request aside for it is served first, so a client's requests are
    // answered in the order they came.
    if (serve_aside(service, device)) {
      service.queue->put_back(*request);
    } else {
      serve(service, device, *request);
    }
  } else {
    if (service.aside.size() >= kMaxAside) {
      give_up(service.aside.front(), "too many requests wait for their clients' reply readers");
      service.aside.pop_front();
    }
    service.aside.push_back(*request);
  }
  return true;
}

void close_camera_service(CameraService &service) {
  for (const Request &request : service.aside) {
    give_up(request, "camserve is stopping");
  }
  // The last reply may still be on its way in fragments; the writer stays
  // until its readers have acknowledged it (or kAckWait passes).
  if (service.writer) {
    service.writer->wait_for_acknowledgments(kAckWait);
  }
  // The endpoints go before the samples and listeners they use.
  if (service.reader) service.node->subscriber->delete_datareader(service.reader);
  if (service.writer) service.node->publisher->delete_datawriter(service.writer);
  if (service.queue) {
    service.queue->release();
  }
  if (service.full) service.node->response_type->deleteData(service.full);
  if (service.empty) service.node->response_type->deleteData(service.empty);
}

}  // namespace kestrel::service
