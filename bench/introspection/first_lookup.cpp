// Times the first dispatch lookup of a process: finding the family library
// on LD_LIBRARY_PATH, loading it and calling its entry symbol. By default the
// C++ dispatch is asked for the C++ introspection family; with --c the C
// dispatch is asked for the CDR family (rosidl_typesupport_fastrtps_c), as
// the middleware asks it. With --runs N the program starts itself N times,
// each a fresh process, and prints every time and the median.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kestrel_ifaces/srv/camera__rosidl_typesupport_cpp.hpp"
#include "kestrel_ifaces/srv/detail/camera__type_support.h"

namespace {

// One lookup in this process; microseconds, or a negative value on failure.
double time_first_lookup(bool c_dispatch) {
  const rosidl_message_type_support_t *handle =
      c_dispatch
          ? ROSIDL_GET_MSG_TYPE_SUPPORT(kestrel_ifaces, srv, Camera_Request)
          : rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request();
  const char *family =
      c_dispatch ? "rosidl_typesupport_fastrtps_c" : "rosidl_typesupport_introspection_cpp";
  const auto start = std::chrono::steady_clock::now();
  const rosidl_message_type_support_t *found = handle->func(handle, family);
  const auto stop = std::chrono::steady_clock::now();
  if (found == nullptr) {
    return -1.0;
  }
  return std::chrono::duration<double, std::micro>(stop - start).count();
}

}  // namespace

int main(int argc, char **argv) {
  setenv("LD_LIBRARY_PATH", KESTREL_FAMILY_DIRS, 0);
  const std::string program = argv[0];
  const bool c_dispatch = argc > 1 && std::strcmp(argv[1], "--c") == 0;
  if (c_dispatch) {
    --argc;
    ++argv;
  }
  if (argc < 3 || std::strcmp(argv[1], "--runs") != 0) {
    const double us = time_first_lookup(c_dispatch);
    if (us < 0) {
      std::fprintf(stderr, "first lookup failed\n");
      return 1;
    }
    std::printf("%.1f\n", us);
    return 0;
  }
  const int runs = std::atoi(argv[2]);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const std::string command = "'" + program + "'" + (c_dispatch ? " --c" : "");
    FILE *child = popen(command.c_str(), "r");
    double us = -1.0;
    if (child == nullptr || std::fscanf(child, "%lf", &us) != 1 || pclose(child) != 0) {
      std::fprintf(stderr, "run %d failed\n", i + 1);
      return 1;
    }
    times.push_back(us);
    std::printf("run %d: first lookup %.1f us\n", i + 1, us);
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) {
    std::printf("min %.1f us, median %.1f us, max %.1f us over %d fresh processes\n", times.front(),
                times[times.size() / 2], times.back(), runs);
  }
  return 0;
}
