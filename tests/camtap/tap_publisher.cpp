#include "tap_publisher.hpp"
#include "payload_type.hpp"

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/publisher/qos/DataWriterQos.hpp>
#include <fastdds/dds/topic/TopicDataType.hpp>
#include <fastdds/rtps/common/SerializedPayload.h>

#include <cstring>
#include <stdexcept>

namespace kestrel::test {

using namespace eprosima::fastdds::dds;
TapPublisher::TapPublisher(std::vector<Publication> publications)
    : publications_(std::move(publications)) {
  participant_ =
      DomainParticipantFactory::get_instance()->create_participant(0, PARTICIPANT_QOS_DEFAULT);
  if (!participant_) throw std::runtime_error("test publisher: no participant");
  Publisher *publisher = participant_->create_publisher(PUBLISHER_QOS_DEFAULT);
  for (const Publication &p : publications_) {
    if (participant_->find_type(p.type).empty()) {
      TypeSupport(new PayloadType(p.type)).register_type(participant_);
    }
    Topic *topic = participant_->create_topic(p.topic, p.type, TOPIC_QOS_DEFAULT);
    DataWriterQos qos = DATAWRITER_QOS_DEFAULT;
    qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
    qos.durability().kind =
        p.transient_local ? TRANSIENT_LOCAL_DURABILITY_QOS : VOLATILE_DURABILITY_QOS;
    qos.history().kind = KEEP_LAST_HISTORY_QOS;
    qos.history().depth = p.transient_local ? 1 : 5;
    qos.endpoint().history_memory_policy =
        eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
    DataWriter *writer = topic ? publisher->create_datawriter(topic, qos) : nullptr;
    if (!writer) throw std::runtime_error("test publisher: no writer for " + p.topic);
    writers_.push_back(writer);
  }
  thread_ = std::thread([this] { run(); });
}

TapPublisher::~TapPublisher() {
  stop_ = true;
  thread_.join();
  participant_->delete_contained_entities();
  DomainParticipantFactory::get_instance()->delete_participant(participant_);
}

void TapPublisher::run() {
  using Clock = std::chrono::steady_clock;
  std::vector<Clock::time_point> due(publications_.size(), Clock::now());
  while (!stop_) {
    const Clock::time_point now = Clock::now();
    for (size_t i = 0; i < publications_.size(); ++i) {
      if (now < due[i]) continue;
      Bytes copy = publications_[i].payload;
      writers_[i]->write(&copy);
      due[i] += publications_[i].period;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace kestrel::test
