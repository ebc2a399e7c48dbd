// Rollback order of the Camera response functions when an image fails to
// initialise. This executable interposes sensor_msgs__msg__Image__init and
// __fini: each call is logged beside the allocator's calls, and the k-th init
// can be made to fail; otherwise they forward to the real functions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "alloc_probe.hpp"
#include "kestrel_ifaces/srv/camera.h"

using alloc_probe::Op;

namespace {

using Response = kestrel_ifaces__srv__Camera_Response;
using ResponseSeq = kestrel_ifaces__srv__Camera_Response__Sequence;
using ImageFn = bool (*)(sensor_msgs__msg__Image *);
using ImageFiniFn = void (*)(sensor_msgs__msg__Image *);

int image_init_calls = 0;     // since the last reset
int image_init_fails_at = 0;  // 1-based call that fails, 0 = none

template <typename Fn>
Fn real(const char *name) {
  static_assert(sizeof(Fn) == sizeof(void *));
  void *symbol = dlsym(RTLD_NEXT, name);
  Fn fn;
  std::memcpy(&fn, &symbol, sizeof(fn));
  return fn;
}

class ResponseRollback : public ::testing::Test {
 protected:
  void SetUp() override {
    alloc_probe::reset();
    image_init_calls = 0;
    image_init_fails_at = 0;
  }
  void TearDown() override {
    EXPECT_EQ(alloc_probe::outstanding(), 0) << "blocks leaked";
    alloc_probe::stop();
  }

  // The logged events as text: "init 2", "fini 1", "deallocate 0" (element
  // indices relative to `base`, or "buffer" for the element array itself).
  static std::vector<std::string> trace(const Response *base, size_t count) {
    std::vector<std::string> out;
    for (const auto &event : alloc_probe::events()) {
      const char *p = static_cast<const char *>(event.pointer);
      const char *first = reinterpret_cast<const char *>(base);
      std::string where;
      if (p == first && event.note.empty()) {
        where = "buffer";
      } else if (p >= first && p < first + count * sizeof(Response)) {
        where = std::to_string((p - first) / sizeof(Response));
      } else {
        continue;
      }
      out.push_back((event.note.empty() ? std::string("deallocate") : event.note) + " " + where);
    }
    return out;
  }
};

}  // namespace

extern "C" bool sensor_msgs__msg__Image__init(sensor_msgs__msg__Image *msg) {
  alloc_probe::note("init", msg);
  if (++image_init_calls == image_init_fails_at) {
    std::memset(msg, 0, sizeof(*msg));  // the real init leaves a failed image zero-filled
    return false;
  }
  static const ImageFn init = real<ImageFn>("sensor_msgs__msg__Image__init");
  return init(msg);
}

extern "C" void sensor_msgs__msg__Image__fini(sensor_msgs__msg__Image *msg) {
  alloc_probe::note("fini", msg);
  static const ImageFiniFn fini = real<ImageFiniFn>("sensor_msgs__msg__Image__fini");
  fini(msg);
}

TEST_F(ResponseRollback, interposed_image_init_takes_effect) {
  Response response;
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&response));
  EXPECT_EQ(image_init_calls, 1);
  kestrel_ifaces__srv__Camera_Response__fini(&response);
}

TEST_F(ResponseRollback, sequence_init_unwinds_from_the_failing_element_down) {
  ResponseSeq seq;
  std::memset(&seq, 0x77, sizeof(seq));
  ResponseSeq before = seq;
  image_init_fails_at = 3;  // element 2
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&seq, 5));
  EXPECT_EQ(std::memcmp(&seq, &before, sizeof(seq)), 0) << "record written on failure";

  const auto &events = alloc_probe::events();
  ASSERT_FALSE(events.empty());
  ASSERT_EQ(events[0].op, Op::zero_allocate);
  // The element array is the pointer of the first init.
  const Response *buffer = nullptr;
  for (const auto &event : events) {
    if (event.note == "init") {
      buffer = static_cast<const Response *>(event.pointer);
      break;
    }
  }
  ASSERT_NE(buffer, nullptr);
  std::vector<std::string> expected = {"init 0", "init 1", "init 2",           "fini 2",
                                       "fini 1", "fini 0", "deallocate buffer"};
  std::vector<std::string> got = trace(buffer, 5);
  // Drop the string releases inside the image fini calls.
  std::vector<std::string> filtered;
  for (const auto &line : got) {
    if (line.rfind("deallocate", 0) != 0 || line == "deallocate buffer") {
      filtered.push_back(line);
    }
  }
  EXPECT_EQ(filtered, expected);
}

TEST_F(ResponseRollback, sequence_copy_unwinds_new_elements_and_keeps_old_ones) {
  ResponseSeq input{}, output{};
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&input, 5));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&output, 1));
  alloc_probe::clear_log();
  image_init_calls = 0;
  image_init_fails_at = 3;  // new elements 1, 2 succeed; 3 fails

  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__Sequence__copy(&input, &output));
  EXPECT_EQ(output.size, 1u);
  EXPECT_EQ(output.capacity, 1u);
  std::vector<std::string> inits_and_finis;
  for (const auto &line : trace(output.data, 5)) {
    if (line.rfind("init", 0) == 0 || line.rfind("fini", 0) == 0) {
      inits_and_finis.push_back(line);
    }
  }
  EXPECT_EQ(inits_and_finis,
            (std::vector<std::string>{"init 1", "init 2", "init 3", "fini 3", "fini 2", "fini 1"}));
  // The output stays a valid sequence: finalising it releases everything.
  kestrel_ifaces__srv__Camera_Response__Sequence__fini(&output);
  kestrel_ifaces__srv__Camera_Response__Sequence__fini(&input);
}

TEST_F(ResponseRollback, sequence_fini_finalises_every_allocated_element) {
  ResponseSeq input{}, output{};
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&output, 4));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&input, 1));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__copy(&input, &output));
  ASSERT_EQ(output.size, 1u);
  const Response *buffer = output.data;
  alloc_probe::clear_log();
  kestrel_ifaces__srv__Camera_Response__Sequence__fini(&output);
  std::vector<std::string> finis;
  for (const auto &line : trace(buffer, 4)) {
    if (line.rfind("fini", 0) == 0 || line == "deallocate buffer") {
      finis.push_back(line);
    }
  }
  EXPECT_EQ(finis, (std::vector<std::string>{"fini 0", "fini 1", "fini 2", "fini 3",
                                             "deallocate buffer"}));
  kestrel_ifaces__srv__Camera_Response__Sequence__fini(&input);
}

TEST_F(ResponseRollback, failed_response_init_finalises_its_image) {
  Response response;
  image_init_fails_at = 1;
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__init(&response));
  std::vector<std::string> lines = trace(&response, 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"init 0", "fini 0"}));
}
