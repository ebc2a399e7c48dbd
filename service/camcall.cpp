// camcall: calls the Camera service once, as a ROS 2 client does over
// Fast-DDS, and writes the picture it gets back.
//
//   camcall [--service NAME] [--angle DEG] [--out FILE] [--timeout S]
//
// It waits until both its request writer and its reply reader are matched
// with the service, sends one request and waits for the reply that names
// that request. FILE ends in .png, .ppm or .pgm. Exit 0 when an image came;
// 1 on a timeout, no service or an empty image.
#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/rtps/common/WriteParams.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "dds_setup.hpp"
#include "image_file.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "ros_names.hpp"
#include "topic_type.hpp"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::SampleIdentity;
namespace fdds = eprosima::fastdds::dds;
namespace svc = kestrel::service;

constexpr char kNodeName[] = "camcall";
constexpr double kDefaultTimeout = 10;  // seconds for the whole call
constexpr auto kMatchPoll = 10ms;       // interval between checks for the service's endpoints

struct Options {
  std::string service = "camera";
  int angle = 0;    // degrees, within int16
  std::string out;  // empty: no file
  double timeout = kDefaultTimeout;
};

static bool parse_options(int argc, char **argv, Options &opts) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (i + 1 >= argc) {
      return false;
    }
    std::string value = argv[++i];
    char *end = nullptr;
    if (arg == "--service") {
      opts.service = value;
    } else if (arg == "--out") {
      opts.out = value;
    } else if (arg == "--angle") {
      long angle = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end || angle < INT16_MIN || angle > INT16_MAX) {
        return false;
      }
      opts.angle = static_cast<int>(angle);
    } else if (arg == "--timeout") {
      opts.timeout = std::strtod(value.c_str(), &end);
      if (value.empty() || *end || !std::isfinite(opts.timeout) || opts.timeout <= 0 ||
          opts.timeout > 86400) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

// The reply reader keeps what comes while camcall takes other clients'
// replies, its own among them (see kReplyHistoryDepth).
static fdds::DataReaderQos reply_reader_qos() {
  fdds::DataReaderQos qos = svc::endpoint_reader_qos();
  qos.history().depth = svc::kReplyHistoryDepth;
  return qos;
}

// True once the request writer reaches a reader and the reply reader a writer.
static bool service_matched(fdds::DataWriter *writer, fdds::DataReader *reader) {
  fdds::PublicationMatchedStatus published;
  fdds::SubscriptionMatchedStatus subscribed;
  return writer->get_publication_matched_status(published) == ReturnCode_t::RETCODE_OK &&
         reader->get_subscription_matched_status(subscribed) == ReturnCode_t::RETCODE_OK &&
         published.current_count > 0 && subscribed.current_count > 0;
}

// Takes replies until the one for `sent` comes or `deadline` passes; replies
// to other clients and to other requests are skipped.
static bool await_reply(fdds::DataReader *reader, svc::Sample *sample, const SampleIdentity &sent,
                        const GUID_t &request_writer, Clock::time_point deadline) {
  for (;;) {
    fdds::SampleInfo info;
    while (reader->take_next_sample(sample, &info) == ReturnCode_t::RETCODE_OK) {
      const SampleIdentity &related = info.related_sample_identity;
      bool ours =
          (related.writer_guid() == reader->guid() || related.writer_guid() == request_writer) &&
          related.sequence_number() == sent.sequence_number();
      if (!info.valid_data || !ours) {
        continue;
      }
      if (sample->error.empty()) {
        return true;
      }
      std::fprintf(stderr, "camcall: dropped a malformed reply: %s\n", sample->error.c_str());
    }
    auto left = deadline - Clock::now();
    if (left <= 0s) {
      return false;
    }
    auto left_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    reader->wait_for_unread_message(
        {static_cast<int32_t>(left_ns / 1000000000), static_cast<uint32_t>(left_ns % 1000000000)});
  }
}

// Sends the request and waits for its image; the exit status.
static int call(svc::Node &node, fdds::DataWriter *writer, fdds::DataReader *reader,
                const Options &opts, const svc::ServiceNames &names, Clock::time_point deadline) {
  while (!service_matched(writer, reader)) {
    if (Clock::now() >= deadline) {
      std::fprintf(stderr, "camcall: no service %s within %g s\n", names.service.c_str(),
                   opts.timeout);
      return 1;
    }
    std::this_thread::sleep_for(kMatchPoll);
  }
  svc::Sample *request = node.request_type->new_sample();
  svc::Sample *response = node.response_type->new_sample();
  int status = 1;
  if (!request || !response) {
    std::fprintf(stderr, "camcall: out of memory\n");
  } else {
    static_cast<kestrel_ifaces__srv__Camera_Request *>(request->message)->angle =
        static_cast<int16_t>(opts.angle);
    // The reply reader's GUID rides along, so that the service can address
    // its reply to this client's reader.
    eprosima::fastrtps::rtps::WriteParams params;
    params.related_sample_identity().writer_guid(reader->guid());
    Clock::time_point sent_at = Clock::now();
    if (!writer->write(request, params)) {
      std::fprintf(stderr, "camcall: cannot send the request\n");
    } else if (!await_reply(reader, response, params.sample_identity(), writer->guid(), deadline)) {
      std::fprintf(stderr, "camcall: no reply from %s within %g s\n", names.service.c_str(),
                   opts.timeout);
    } else {
      double round_trip_ms =
          std::chrono::duration<double, std::milli>(Clock::now() - sent_at).count();
      const sensor_msgs__msg__Image &image =
          static_cast<kestrel_ifaces__srv__Camera_Response *>(response->message)->image;
      std::string error;
      if (image.width == 0 || image.height == 0 || image.data.size == 0) {
        std::fprintf(stderr, "camcall: %s answered with an empty image\n", names.service.c_str());
      } else if (!opts.out.empty() && !svc::write_image_file(opts.out, image, error)) {
        std::fprintf(stderr, "camcall: %s\n", error.c_str());
      } else {
        std::printf("%ux%u %s stamp %d.%09u frame %s round trip %.3f ms\n", image.width,
                    image.height, image.encoding.data, image.header.stamp.sec,
                    image.header.stamp.nanosec, image.header.frame_id.data, round_trip_ms);
        status = 0;
      }
    }
  }
  node.request_type->deleteData(request);
  node.response_type->deleteData(response);
  return status;
}

int main(int argc, char **argv) {
  Options opts;
  if (!parse_options(argc, argv, opts)) {
    std::fprintf(stderr,
                 "usage: camcall [--service NAME] [--angle DEG] [--out FILE] "
                 "[--timeout S]\n");
    return 2;
  }
  // A picture that could not be written is known before the Kinect moves.
  std::string path_error;
  if (!opts.out.empty() && !svc::check_image_path(opts.out, path_error)) {
    std::fprintf(stderr, "camcall: %s\n", path_error.c_str());
    return 1;
  }
  Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(opts.timeout));
  std::string error;
  std::optional<uint32_t> domain = svc::parse_domain_id(std::getenv("ROS_DOMAIN_ID"), error);
  std::optional<svc::ServiceNames> names =
      domain ? svc::service_names(opts.service, error) : std::nullopt;
  if (!names) {
    std::fprintf(stderr, "camcall: %s\n", error.c_str());
    return 1;
  }
  svc::Node node;
  // UDPv4 alone: see dds_setup.hpp on shared memory with many participants.
  if (!svc::open_node(node, *domain, kNodeName, *names, error, svc::Transports::udp_only)) {
    std::fprintf(stderr, "camcall: %s\n", error.c_str());
    return 1;
  }
  fdds::DataWriter *writer =
      node.publisher->create_datawriter(node.request_topic, svc::endpoint_writer_qos());
  fdds::DataReader *reader =
      node.subscriber->create_datareader(node.reply_topic, reply_reader_qos());
  int status = 1;
  if (!writer || !reader) {
    std::fprintf(stderr, "camcall: cannot create the endpoints of %s\n", names->service.c_str());
  } else {
    status = call(node, writer, reader, opts, *names, deadline);
  }
  svc::close_node(node);
  return status;
}
