#include "ros_names.hpp"

#include <cctype>

namespace kestrel::service {

std::optional<uint32_t> parse_domain_id(const char *value, std::string &error) {
  if (!value || !*value) {
    return 0u;
  }
  uint32_t domain = 0;
  for (const char *c = value; *c; ++c) {
    // Digits only, and stop before the number can overflow.
    if (!std::isdigit(static_cast<unsigned char>(*c)) || domain > kMaxDomainId) {
      domain = kMaxDomainId + 1;
      break;
    }
    domain = domain * 10 + static_cast<uint32_t>(*c - '0');
  }
  if (domain > kMaxDomainId) {
    error = "ROS_DOMAIN_ID '" + std::string(value) + "' is not a domain id (0 to " +
            std::to_string(kMaxDomainId) + ")";
    return std::nullopt;
  }
  return domain;
}

std::optional<ServiceNames> service_names(const std::string &name, std::string &error) {
  std::string relative = !name.empty() && name[0] == '/' ? name.substr(1) : name;
  bool token_start = true;
  bool valid = !relative.empty();
  for (char c : relative) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '/') {
      valid = valid && !token_start;
      token_start = true;
    } else if (std::isalpha(u) || c == '_' || (std::isdigit(u) && !token_start)) {
      token_start = false;
    } else {
      valid = false;
    }
  }
  if (!valid || token_start) {
    error = "'" + name + "' is not a valid service name";
    return std::nullopt;
  }
  return ServiceNames{"/" + relative, "rq/" + relative + "Request", "rr/" + relative + "Reply"};
}

}  // namespace kestrel::service
