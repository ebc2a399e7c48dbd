// The Camera service: requests taken off the DDS reader into a queue, served
// one at a time in arrival order (tilt, wait for the motor, take a picture),
// and answered on the reply writer under the request's identity. A request
// whose client's reply reader is not matched yet waits aside, a bounded
// time, while the queue goes on: no client holds up another.
//
// Threads: Fast-DDS's threads run the reader's listener, which only queues,
// and the writer's, which wakes the queue when a reader comes or goes;
// serve_next runs on the thread that calls it (camserve's main thread), owns
// the requests aside and the record of replies written, and waits for the
// device thread through take_frame.
#pragma once

#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/rtps/common/SampleIdentity.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "dds_setup.hpp"
#include "kinect_device.hpp"
#include "topic_type.hpp"

namespace kestrel::service {

// A request taken from the reader, waiting to be served.
struct Request {
  int16_t angle = 0;
  eprosima::fastrtps::rtps::SampleIdentity
      reply_to;               // identity the reply names as its related sample
  bool reader_known = false;  // reply_to's GUID is the client's reply reader
  Clock::time_point arrived;
};

// Takes arriving requests off the reader into a queue, on Fast-DDS's
// threads, so that none is lost while another is being served.
struct RequestQueue : eprosima::fastdds::dds::DataReaderListener {
  explicit RequestQueue(HandleTopicType *type) : type_(type), sample_(type->new_sample()) {}
  // Frees the sample; call once the reader is deleted, while the type lives.
  void release();

  void on_data_available(eprosima::fastdds::dds::DataReader *reader) override;

  // The next request, or nothing after `timeout` or once woken.
  std::optional<Request> pop(std::chrono::milliseconds timeout);
  // Ends a pop under way (or the next one) early.
  void wake();
  // Returns a popped request to the front: the next pop gives it again.
  void put_back(const Request &request);

 private:
  void push(const Request &request);

  HandleTopicType *type_;
  std::mutex take_mutex_;  // one take at a time: sample_ is shared
  Sample *sample_;         // guarded by take_mutex_
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Request> queue_;  // guarded by mutex_
  bool woken_ = false;         // guarded by mutex_
};

// A reply written: the request it answers and the end of that request's promise.
struct Written {
  eprosima::fastrtps::rtps::SampleIdentity reply_to;
  Clock::time_point promised_by;
};

// The service's endpoints and its two replies, allocated once: a full image
// whose pixels each request overwrites, and the empty image sent when no
// frame came.
struct CameraService {
  Node *node = nullptr;
  std::unique_ptr<RequestQueue> queue;
  MatchedReaders matched;  // the reply writer's readers
  eprosima::fastdds::dds::DataReader *reader = nullptr;
  eprosima::fastdds::dds::DataWriter *writer = nullptr;
  Sample *full = nullptr;
  Sample *empty = nullptr;
  // Requests whose reply reader is not matched yet, oldest first; serving
  // thread only.
  std::deque<Request> aside;
  // The replies written since the writer last had every reply acknowledged,
  // oldest first (at most the writer's history); serving thread only.
  std::deque<Written> unacknowledged;
};

// Creates the endpoints on `node`'s service topics and the replies for the
// device's stream, with `frame_id` in their headers; false with `error`.
bool open_camera_service(CameraService &service, Node &node, const Device &device,
                         const std::string &frame_id, std::string &error);
// Serves the next request whose client can be answered, sets aside one whose
// reader is not matched yet, or gives up on one that waited aside too long.
// Returns false when nothing came within `timeout` and nothing waits aside.
bool serve_next(CameraService &service, Device &device, std::chrono::milliseconds timeout);
// Waits a bounded time for the last reply's delivery, then deletes the
// endpoints and the replies (before the node goes).
void close_camera_service(CameraService &service);

}  // namespace kestrel::service
