#include "wire_subscriber.hpp"
#include "payload_type.hpp"

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/subscriber/qos/DataReaderQos.hpp>
#include <fastdds/dds/topic/TopicDataType.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>
#include <fastdds/rtps/common/SerializedPayload.h>

#include <cstring>

namespace kestrel::wire {

using namespace eprosima::fastdds::dds;
using eprosima::fastrtps::rtps::GUID_t;

namespace {

DataReaderQos reader_qos(Qos kind) {
  DataReaderQos qos = DATAREADER_QOS_DEFAULT;
  qos.reliability().kind =
      kind == Qos::best_effort ? BEST_EFFORT_RELIABILITY_QOS : RELIABLE_RELIABILITY_QOS;
  qos.durability().kind =
      kind == Qos::latched ? TRANSIENT_LOCAL_DURABILITY_QOS : VOLATILE_DURABILITY_QOS;
  qos.history().kind = kind == Qos::stalled ? KEEP_ALL_HISTORY_QOS : KEEP_LAST_HISTORY_QOS;
  qos.history().depth = kind == Qos::best_effort ? 5 : kind == Qos::latched ? 1 : 10;
  if (kind == Qos::stalled) {
    qos.resource_limits().max_samples = 2;
    qos.resource_limits().max_instances = 1;
    qos.resource_limits().max_samples_per_instance = 2;
  }
  qos.endpoint().history_memory_policy =
      eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  return qos;
}

}  // namespace

std::string topic(const std::string &ros_name) {
  return ros_name[0] == '/' ? "rt" + ros_name : "rt/camera/" + ros_name;
}

struct Subscriber::Reader : DataReaderListener {
  Topic *topic = nullptr;
  DataReader *reader = nullptr;
  bool takes = true;
  size_t keep = 2;
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t count = 0;        // guarded by mutex
  std::deque<Taken> taken;   // guarded by mutex: the last `keep`
  std::set<GUID_t> writers;  // guarded by mutex

  void on_data_available(DataReader *r) override {
    if (!takes) return;
    Bytes payload;
    SampleInfo info;
    while (r->take_next_sample(&payload, &info) == ReturnCode_t::RETCODE_OK) {
      if (!info.valid_data) continue;
      std::lock_guard<std::mutex> lock(mutex);
      taken.push_back({std::move(payload), std::chrono::system_clock::now()});
      if (taken.size() > keep) taken.pop_front();
      ++count;
      changed.notify_all();
    }
  }
  void on_subscription_matched(DataReader *, const SubscriptionMatchedStatus &status) override {
    std::lock_guard<std::mutex> lock(mutex);
    if (status.current_count_change > 0) {
      writers.insert(eprosima::fastrtps::rtps::iHandle2GUID(status.last_publication_handle));
    }
    changed.notify_all();
  }
};

Subscriber::Subscriber() {
  participant_ =
      DomainParticipantFactory::get_instance()->create_participant(0, PARTICIPANT_QOS_DEFAULT);
  subscriber_ = participant_->create_subscriber(SUBSCRIBER_QOS_DEFAULT);
}

Subscriber::~Subscriber() {
  participant_->delete_contained_entities();
  DomainParticipantFactory::get_instance()->delete_participant(participant_);
}

void Subscriber::subscribe(const std::string &topic, const std::string &type, Qos qos,
                           size_t keep) {
  if (types_.insert(type).second) {
    TypeSupport(new kestrel::test::PayloadType(type)).register_type(participant_);
  }
  auto reader = std::make_unique<Reader>();
  reader->takes = qos != Qos::stalled;
  reader->keep = keep;
  reader->topic = participant_->create_topic(topic, type, TOPIC_QOS_DEFAULT);
  reader->reader = subscriber_->create_datareader(reader->topic, reader_qos(qos), reader.get());
  readers_[topic] = std::move(reader);
}

void Subscriber::unsubscribe(const std::string &topic) {
  auto it = readers_.find(topic);
  if (it == readers_.end()) return;
  subscriber_->delete_datareader(it->second->reader);
  participant_->delete_topic(it->second->topic);
  readers_.erase(it);
}

std::optional<Taken> Subscriber::next(const std::string &topic, uint64_t after,
                                      std::chrono::milliseconds timeout) {
  Reader &r = *readers_.at(topic);
  std::unique_lock<std::mutex> lock(r.mutex);
  if (!r.changed.wait_for(lock, timeout, [&] { return r.count > after; })) return std::nullopt;
  return r.taken.back();
}

uint64_t Subscriber::count(const std::string &topic) {
  Reader &r = *readers_.at(topic);
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.count;
}

std::vector<Taken> Subscriber::kept(const std::string &topic) {
  Reader &r = *readers_.at(topic);
  std::lock_guard<std::mutex> lock(r.mutex);
  return {r.taken.begin(), r.taken.end()};
}

std::set<GUID_t> Subscriber::writers(const std::string &topic) {
  Reader &r = *readers_.at(topic);
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.writers;
}

bool Subscriber::wait_matched(const std::string &topic, std::chrono::milliseconds timeout) {
  Reader &r = *readers_.at(topic);
  std::unique_lock<std::mutex> lock(r.mutex);
  return r.changed.wait_for(lock, timeout, [&] { return !r.writers.empty(); });
}

}  // namespace kestrel::wire
