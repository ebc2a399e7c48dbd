// Benchmarks of the introspection side: a dispatch lookup once the family
// library is loaded, and the type-blind C walker's copy of a response with a
// 640 × 480 rgb8 image beside the data model's own copy.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "kestrel_ifaces/srv/camera__rosidl_typesupport_cpp.hpp"
#include "kestrel_ifaces/srv/detail/camera__type_support.h"
#include "kestrel_ifaces/srv/detail/camera__functions.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_introspection_c.h"
#include "rosidl_runtime_c/primitives_sequence_functions.h"
#include "rosidl_runtime_c/string_functions.h"
#include "walkers.hpp"

namespace {

constexpr uint32_t rows = 480;     // pixels
constexpr uint32_t columns = 640;  // pixels
constexpr uint32_t channels = 3;   // bytes per rgb8 pixel

void fill_response(kestrel_ifaces__srv__Camera_Response &response) {
  sensor_msgs__msg__Image &image = response.image;
  image.header.stamp.sec = 1700000000;
  rosidl_runtime_c__String__assign(&image.header.frame_id, "kinect_rgb");
  image.height = rows;
  image.width = columns;
  rosidl_runtime_c__String__assign(&image.encoding, "rgb8");
  image.step = columns * channels;
  rosidl_runtime_c__uint8__Sequence__fini(&image.data);
  rosidl_runtime_c__uint8__Sequence__init(&image.data, size_t{image.step} * rows);
  for (size_t i = 0; i < image.data.size; ++i) {
    image.data.data[i] = static_cast<uint8_t>(i * 7 + 3);
  }
}

const walk_c::Members *response_members() {
  return static_cast<const walk_c::Members *>(
      rosidl_typesupport_introspection_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response()
          ->data);
}

// Lookups of `identifier` on a dispatch handle after the first, which loaded
// the family library.
void lookup_loaded(benchmark::State &state, const rosidl_message_type_support_t *handle,
                   const char *identifier) {
  if (handle->func(handle, identifier) == nullptr) {
    state.SkipWithError("family library not found: set LD_LIBRARY_PATH");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(handle->func(handle, identifier));
  }
}

void BM_dispatch_lookup_loaded(benchmark::State &state) {
  lookup_loaded(
      state,
      rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request(),
      "rosidl_typesupport_introspection_cpp");
}
BENCHMARK(BM_dispatch_lookup_loaded);

// The C dispatch, asked for the CDR family as the middleware asks it.
void BM_c_dispatch_lookup_loaded(benchmark::State &state) {
  lookup_loaded(state, ROSIDL_GET_MSG_TYPE_SUPPORT(kestrel_ifaces, srv, Camera_Request),
                "rosidl_typesupport_fastrtps_c");
}
BENCHMARK(BM_c_dispatch_lookup_loaded);

// Copies into an output that already holds an image of the same size (the
// steady state of a reused message) or into a freshly initialized one.
template <bool (*Copy)(const kestrel_ifaces__srv__Camera_Response *,
                       kestrel_ifaces__srv__Camera_Response *)>
void copy_response(benchmark::State &state) {
  const bool reuse_output = state.range(0) != 0;
  kestrel_ifaces__srv__Camera_Response input;
  kestrel_ifaces__srv__Camera_Response output;
  kestrel_ifaces__srv__Camera_Response__init(&input);
  kestrel_ifaces__srv__Camera_Response__init(&output);
  fill_response(input);
  Copy(&input, &output);
  for (auto _ : state) {
    if (!reuse_output) {
      kestrel_ifaces__srv__Camera_Response__fini(&output);
      kestrel_ifaces__srv__Camera_Response__init(&output);
    }
    if (!Copy(&input, &output)) {
      state.SkipWithError("copy failed");
      break;
    }
    benchmark::DoNotOptimize(output.image.data.data);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(input.image.data.size));
  kestrel_ifaces__srv__Camera_Response__fini(&output);
  kestrel_ifaces__srv__Camera_Response__fini(&input);
}

bool walker_copy(const kestrel_ifaces__srv__Camera_Response *input,
                 kestrel_ifaces__srv__Camera_Response *output) {
  return walk_c::copy(response_members(), input, output);
}

void BM_walker_copy_response(benchmark::State &state) {
  copy_response<walker_copy>(state);
}
void BM_data_model_copy_response(benchmark::State &state) {
  copy_response<kestrel_ifaces__srv__Camera_Response__copy>(state);
}
BENCHMARK(BM_walker_copy_response)->ArgName("reuse")->Arg(1)->Arg(0);
BENCHMARK(BM_data_model_copy_response)->ArgName("reuse")->Arg(1)->Arg(0);

}  // namespace

int main(int argc, char **argv) {
  // The dispatch finds family libraries on LD_LIBRARY_PATH; default it to the
  // build folders that hold the family libraries.
  setenv("LD_LIBRARY_PATH", KESTREL_FAMILY_DIRS, 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
