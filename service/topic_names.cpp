#include "topic_names.hpp"

#include "ros_names.hpp"

namespace kestrel::msgs {

std::optional<std::string> dds_topic_name(const std::string &ns, const std::string &topic,
                                          std::string &error) {
  if (topic.empty()) {
    error = "empty topic name";
    return std::nullopt;
  }
  std::string name = topic;
  if (topic[0] != '/') {
    name = ns.empty() || ns[0] == '/' ? ns : "/" + ns;
    name += "/" + topic;
  }
  // A topic name is made of the same tokens as a service name.
  std::optional<service::ServiceNames> checked = service::service_names(name, error);
  if (!checked) {
    error = "'" + name + "' is not a valid topic name";
    return std::nullopt;
  }
  return "rt" + checked->service;
}

}  // namespace kestrel::msgs
