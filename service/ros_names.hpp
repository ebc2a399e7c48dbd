// The ROS 2 conventions that turn a service name and the environment into
// DDS settings: the domain from ROS_DOMAIN_ID and the two topics of a service.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kestrel::service {

constexpr uint32_t kMaxDomainId = 232;  // highest domain whose UDP ports fit the port mapping

// ROS_DOMAIN_ID's value (nullptr when unset): unset or empty is domain 0, a
// decimal number 0 to kMaxDomainId that domain; anything else sets `error`.
std::optional<uint32_t> parse_domain_id(const char *value, std::string &error);

struct ServiceNames {
  std::string service;        // fully qualified: "/camera"
  std::string request_topic;  // "rq/cameraRequest"
  std::string reply_topic;    // "rr/cameraReply"
};

// NAME as given on the command line ("camera", "/camera", "/robot/camera"):
// tokens of letters, digits and underscores, not starting with a digit,
// separated by single slashes; relative names are taken from the root
// namespace.
std::optional<ServiceNames> service_names(const std::string &name, std::string &error);

}  // namespace kestrel::service
