// Starting camserve and camcall on the simulated Kinect for the service tests.
// The test binary itself runs inside private_net.sh (see CMakeLists.txt), so
// every participant here lives in that private network namespace.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.hpp"

namespace kestrel::test {

constexpr char kServingLine[] = "Serving /camera on domain 0\n";

inline RunOptions options(const std::vector<std::string> &args, const Env &env = {}) {
  RunOptions opts;
  opts.args = args;
  opts.env = env;
  return opts;
}

// camserve with `args` and `env`, waited for until it serves; the test fails
// (and the pointer is null) when it does not within 20 s.
inline std::unique_ptr<Process> start_camserve(const std::vector<std::string> &args = {},
                                               const Env &env = {}) {
  auto server = std::make_unique<Process>(CAMSERVE, options(args, env));
  if (!server->wait_for_out("Serving ", milliseconds(20000))) {
    ADD_FAILURE() << "camserve did not start; stderr:\n" << server->err_so_far();
    return nullptr;
  }
  return server;
}

inline RunResult run_camcall(const std::vector<std::string> &args, const Env &env = {}) {
  return run(CAMCALL, options(args, env), milliseconds(30000));
}

}  // namespace kestrel::test
