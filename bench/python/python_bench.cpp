// Benchmarks of the Python side of kestrel_ifaces, run in an embedded
// interpreter: the Camera conversions Python -> C -> Python, the pixel copy
// they are measured against, and serialize + deserialize of a response.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kestrel_ifaces/srv/_camera_s.h"
#include "kestrel_ifaces/srv/detail/camera__functions.h"

namespace {

constexpr size_t kPixelBytes = 640 * 480 * 3;  // one rgb8 frame

// Python objects the benchmarks share, made once at start-up.
PyObject *g_request;         // Camera_Request(angle=-3)
PyObject *g_response;        // Camera_Response with a 640 x 480 rgb8 image
PyObject *g_serialize;       // kestrel_ifaces.serialization.serialize
PyObject *g_deserialize;     // kestrel_ifaces.serialization.deserialize
PyObject *g_request_class;   // Camera.Request
PyObject *g_response_class;  // Camera.Response

const char kSetup[] = R"(
from kestrel_ifaces.serialization import serialize, deserialize
from kestrel_ifaces.srv import Camera
from sensor_msgs.msg import Image
request = Camera.Request(angle=-3)
response = Camera.Response(image=Image(
    height=480, width=640, encoding='rgb8', step=1920,
    data=bytes(i % 256 for i in range(640 * 480 * 3))))
request_class = Camera.Request
response_class = Camera.Response
)";

PyObject *global(PyObject *globals, const char *name) {
  PyObject *value = PyDict_GetItemString(globals, name);
  Py_XINCREF(value);
  return value;
}

bool set_up_python() {
  Py_Initialize();
  PyObject *sys_path = PySys_GetObject("path");  // borrowed
  PyObject *dir = PyUnicode_FromString(KESTREL_PYTHON_BUILD_DIR);
  PyList_Insert(sys_path, 0, dir);
  Py_DECREF(dir);
  PyObject *globals = PyDict_New();
  PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
  PyObject *rc = PyRun_String(kSetup, Py_file_input, globals, globals);
  if (!rc) {
    PyErr_Print();
    return false;
  }
  Py_DECREF(rc);
  g_request = global(globals, "request");
  g_response = global(globals, "response");
  g_serialize = global(globals, "serialize");
  g_deserialize = global(globals, "deserialize");
  g_request_class = global(globals, "request_class");
  g_response_class = global(globals, "response_class");
  Py_DECREF(globals);
  return true;
}

void request_round_trip(benchmark::State &state) {
  kestrel_ifaces__srv__Camera_Request *msg = kestrel_ifaces__srv__Camera_Request__create();
  for (auto _ : state) {
    if (!kestrel_ifaces__srv__camera__request__convert_from_py(g_request, msg)) {
      state.SkipWithError("from_py failed");
      break;
    }
    PyObject *back = kestrel_ifaces__srv__camera__request__convert_to_py(msg);
    benchmark::DoNotOptimize(back);
    Py_XDECREF(back);
  }
  kestrel_ifaces__srv__Camera_Request__destroy(msg);
}
BENCHMARK(request_round_trip);

// The two halves of the round trip on their own.
void request_from_py(benchmark::State &state) {
  kestrel_ifaces__srv__Camera_Request *msg = kestrel_ifaces__srv__Camera_Request__create();
  for (auto _ : state) {
    benchmark::DoNotOptimize(kestrel_ifaces__srv__camera__request__convert_from_py(g_request, msg));
  }
  kestrel_ifaces__srv__Camera_Request__destroy(msg);
}
BENCHMARK(request_from_py);

void request_to_py(benchmark::State &state) {
  kestrel_ifaces__srv__Camera_Request *msg = kestrel_ifaces__srv__Camera_Request__create();
  for (auto _ : state) {
    PyObject *back = kestrel_ifaces__srv__camera__request__convert_to_py(msg);
    benchmark::DoNotOptimize(back);
    Py_XDECREF(back);
  }
  kestrel_ifaces__srv__Camera_Request__destroy(msg);
}
BENCHMARK(request_to_py);

// The response converted into `msg` and back into a new Python object;
// false when the first half fails.
bool convert_response_both_ways(kestrel_ifaces__srv__Camera_Response *msg) {
  if (!kestrel_ifaces__srv__camera__response__convert_from_py(g_response, msg)) {
    return false;
  }
  PyObject *back = kestrel_ifaces__srv__camera__response__convert_to_py(msg);
  benchmark::DoNotOptimize(back);
  Py_XDECREF(back);
  return true;
}

// A fresh C message each time, as a caller that converts one response does.
void response_round_trip(benchmark::State &state) {
  for (auto _ : state) {
    kestrel_ifaces__srv__Camera_Response *msg = kestrel_ifaces__srv__Camera_Response__create();
    const bool ok = convert_response_both_ways(msg);
    kestrel_ifaces__srv__Camera_Response__destroy(msg);
    if (!ok) {
      state.SkipWithError("from_py failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(response_round_trip);

// The same into one C message kept across iterations, whose pixel buffer the
// conversion reuses: only the Python image is allocated each time.
void response_round_trip_reused_message(benchmark::State &state) {
  kestrel_ifaces__srv__Camera_Response *msg = kestrel_ifaces__srv__Camera_Response__create();
  for (auto _ : state) {
    if (!convert_response_both_ways(msg)) {
      state.SkipWithError("from_py failed");
      break;
    }
  }
  kestrel_ifaces__srv__Camera_Response__destroy(msg);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(response_round_trip_reused_message);

// The baseline: one copy of the pixel bytes between two warm buffers.
void memcpy_pixels(benchmark::State &state) {
  std::vector<char> from(kPixelBytes, 1);
  std::vector<char> to(kPixelBytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kPixelBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(memcpy_pixels);

// One copy of the pixels into a newly allocated block, released again.
void copy_into_new_block(const char *from) {
  char *to = static_cast<char *>(std::malloc(kPixelBytes));
  std::memcpy(to, from, kPixelBytes);
  benchmark::DoNotOptimize(to);
  std::free(to);
}

// One copy into a newly allocated block, as each conversion direction makes.
void malloc_memcpy_pixels(benchmark::State &state) {
  std::vector<char> from(kPixelBytes, 1);
  for (auto _ : state) copy_into_new_block(from.data());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(malloc_memcpy_pixels);

// The round trip's two copies without any conversion around them: into a
// warm buffer (the C message's), then into a new block (the new Python
// image's). The best a round trip can reach on this machine.
void memcpy_pixels_twice(benchmark::State &state) {
  std::vector<char> from(kPixelBytes, 1);
  std::vector<char> middle(kPixelBytes, 0);
  for (auto _ : state) {
    std::memcpy(middle.data(), from.data(), kPixelBytes);
    copy_into_new_block(middle.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(memcpy_pixels_twice);

// serialize(msg), then deserialize(data, cls); false (with the Python error
// printed) when either fails.
bool serialize_and_back(PyObject *msg, PyObject *cls) {
  PyObject *data = PyObject_CallOneArg(g_serialize, msg);
  PyObject *back = data ? PyObject_CallFunctionObjArgs(g_deserialize, data, cls, nullptr) : nullptr;
  Py_XDECREF(data);
  if (!back) {
    PyErr_Print();
    return false;
  }
  Py_DECREF(back);
  return true;
}

void serialize_deserialize_request(benchmark::State &state) {
  for (auto _ : state) {
    if (!serialize_and_back(g_request, g_request_class)) {
      state.SkipWithError("serialize or deserialize failed");
      break;
    }
  }
}
BENCHMARK(serialize_deserialize_request);

void serialize_deserialize_response(benchmark::State &state) {
  for (auto _ : state) {
    if (!serialize_and_back(g_response, g_response_class)) {
      state.SkipWithError("serialize or deserialize failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(serialize_deserialize_response);

void serialize_response(benchmark::State &state) {
  for (auto _ : state) {
    PyObject *data = PyObject_CallOneArg(g_serialize, g_response);
    if (!data) {
      PyErr_Print();
      state.SkipWithError("serialize failed");
      break;
    }
    Py_DECREF(data);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPixelBytes));
}
BENCHMARK(serialize_response);

}  // namespace

int main(int argc, char **argv) {
  if (!set_up_python()) {
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
