// Throughput of the Camera response's CDR round trip (C and C++ families) and
// copy against a memcpy of the same bytes, and the cost of one request
// (de)serialization.
// The response holds a 640 x 480 rgb8 image; streams and outputs are set up
// once, as a middleware reusing its buffers would.
#include <benchmark/benchmark.h>
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstring>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_cpp.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "test_image.hpp"
#include "test_image_cpp.hpp"

using eprosima::fastcdr::Cdr;
using eprosima::fastcdr::FastBuffer;

namespace {

const message_type_support_callbacks_t &callbacks(const rosidl_message_type_support_t *handle) {
  return *static_cast<const message_type_support_callbacks_t *>(handle->data);
}

const message_type_support_callbacks_t &response_callbacks() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response());
}

const message_type_support_callbacks_t &request_callbacks() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request());
}

// A response with a full image, freed at exit.
struct Camera {
  Camera() {
    kestrel_ifaces__srv__Camera_Response__init(&response);
    fill_rgb8_image(response.image);
  }
  ~Camera() { kestrel_ifaces__srv__Camera_Response__fini(&response); }
  kestrel_ifaces__srv__Camera_Response response;
};

const kestrel_ifaces__srv__Camera_Response &full_response() {
  static Camera camera;
  return camera.response;
}

// The same response in its C++ form, built once like the C one, so that both
// round trips meet their buffers in the same way.
const kestrel_ifaces::srv::Camera_Response &full_cpp_response() {
  static const kestrel_ifaces::srv::Camera_Response response = [] {
    kestrel_ifaces::srv::Camera_Response filled;
    fill_rgb8_image(filled.image);
    return filled;
  }();
  return response;
}

size_t image_bytes() {
  return full_response().image.data.size;
}

size_t serialized_bytes() {
  return response_callbacks().get_serialized_size(&full_response());
}

// memcpy of the response's serialized size: the yardstick of the round trip.
void BM_memcpy_serialized_response(benchmark::State &state) {
  std::vector<char> from(serialized_bytes(), 1), to(serialized_bytes());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}
BENCHMARK(BM_memcpy_serialized_response)->UseRealTime();

// Two memcpys through a third buffer, the way a round trip moves the bytes
// (message -> stream -> message): what any round trip can reach at best.
void BM_memcpy_twice_through_buffer(benchmark::State &state) {
  std::vector<char> from(serialized_bytes(), 1), stream(serialized_bytes()), to(serialized_bytes());
  for (auto _ : state) {
    std::memcpy(stream.data(), from.data(), from.size());
    std::memcpy(to.data(), stream.data(), stream.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}
BENCHMARK(BM_memcpy_twice_through_buffer)->UseRealTime();

void BM_response_serialize_deserialize(benchmark::State &state) {
  std::vector<char> storage(serialized_bytes());
  FastBuffer buffer(storage.data(), storage.size());
  Cdr out(buffer), in(buffer);
  kestrel_ifaces__srv__Camera_Response received;
  kestrel_ifaces__srv__Camera_Response__init(&received);
  for (auto _ : state) {
    out.reset();
    in.reset();
    if (!response_callbacks().cdr_serialize(&full_response(), out) ||
        !response_callbacks().cdr_deserialize(in, &received)) {
      state.SkipWithError("round trip failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(storage.size()));
  kestrel_ifaces__srv__Camera_Response__fini(&received);
}
BENCHMARK(BM_response_serialize_deserialize)->UseRealTime();

// The same round trip through the C++ family's callbacks, on the C++ types
// (std::vector pixels): the middleware's path for rclcpp.
void BM_cpp_response_serialize_deserialize(benchmark::State &state) {
  const message_type_support_callbacks_t &cpp =
      callbacks(rosidl_typesupport_fastrtps_cpp::get_message_type_support_handle<
                kestrel_ifaces::srv::Camera_Response>());
  const kestrel_ifaces::srv::Camera_Response &response = full_cpp_response();
  kestrel_ifaces::srv::Camera_Response received;
  std::vector<char> storage(cpp.get_serialized_size(&response));
  FastBuffer buffer(storage.data(), storage.size());
  Cdr out(buffer), in(buffer);
  for (auto _ : state) {
    out.reset();
    in.reset();
    if (!cpp.cdr_serialize(&response, out) || !cpp.cdr_deserialize(in, &received)) {
      state.SkipWithError("round trip failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(storage.size()));
}
BENCHMARK(BM_cpp_response_serialize_deserialize)->UseRealTime();

// The two halves of the round trip, to see where its time goes.
void BM_response_serialize(benchmark::State &state) {
  std::vector<char> storage(serialized_bytes());
  FastBuffer buffer(storage.data(), storage.size());
  Cdr out(buffer);
  for (auto _ : state) {
    out.reset();
    benchmark::DoNotOptimize(response_callbacks().cdr_serialize(&full_response(), out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(storage.size()));
}
BENCHMARK(BM_response_serialize)->UseRealTime();

void BM_response_deserialize(benchmark::State &state) {
  std::vector<char> storage(serialized_bytes());
  FastBuffer buffer(storage.data(), storage.size());
  Cdr out(buffer), in(buffer);
  response_callbacks().cdr_serialize(&full_response(), out);
  kestrel_ifaces__srv__Camera_Response received;
  kestrel_ifaces__srv__Camera_Response__init(&received);
  for (auto _ : state) {
    in.reset();
    benchmark::DoNotOptimize(response_callbacks().cdr_deserialize(in, &received));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(storage.size()));
  kestrel_ifaces__srv__Camera_Response__fini(&received);
}
BENCHMARK(BM_response_deserialize)->UseRealTime();

// memcpy of the image bytes: the yardstick of the response copy.
void BM_memcpy_image(benchmark::State &state) {
  std::vector<char> from(image_bytes(), 1), to(image_bytes());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}
BENCHMARK(BM_memcpy_image)->UseRealTime();

void BM_response_copy(benchmark::State &state) {
  kestrel_ifaces__srv__Camera_Response copy;
  kestrel_ifaces__srv__Camera_Response__init(&copy);
  for (auto _ : state) {
    if (!kestrel_ifaces__srv__Camera_Response__copy(&full_response(), &copy)) {
      state.SkipWithError("copy failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image_bytes()));
  kestrel_ifaces__srv__Camera_Response__fini(&copy);
}
BENCHMARK(BM_response_copy)->UseRealTime();

void BM_request_serialize(benchmark::State &state) {
  char storage[16];
  FastBuffer buffer(storage, sizeof(storage));
  Cdr cdr(buffer);
  kestrel_ifaces__srv__Camera_Request request{-27};
  for (auto _ : state) {
    cdr.reset();
    benchmark::DoNotOptimize(request_callbacks().cdr_serialize(&request, cdr));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_request_serialize)->UseRealTime();

void BM_request_deserialize(benchmark::State &state) {
  char storage[16] = {0x02, 0x01};
  FastBuffer buffer(storage, sizeof(storage));
  Cdr cdr(buffer);
  kestrel_ifaces__srv__Camera_Request request{0};
  for (auto _ : state) {
    cdr.reset();
    benchmark::DoNotOptimize(request_callbacks().cdr_deserialize(cdr, &request));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_request_deserialize)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
