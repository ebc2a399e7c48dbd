// The Camera messages' C functions, observed through the probe allocator.
#include <gtest/gtest.h>

#include <cstring>

#include "alloc_probe.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "test_image.hpp"

using alloc_probe::Op;

namespace {

using Request = kestrel_ifaces__srv__Camera_Request;
using RequestSeq = kestrel_ifaces__srv__Camera_Request__Sequence;
using Response = kestrel_ifaces__srv__Camera_Response;

class CameraFunctions : public ::testing::Test {
 protected:
  void SetUp() override { alloc_probe::reset(); }
  void TearDown() override {
    EXPECT_EQ(alloc_probe::outstanding(), 0) << "blocks leaked";
    alloc_probe::stop();
  }
};

// A request sequence holding the given angles, size == capacity.
void fill(RequestSeq &seq, std::initializer_list<int16_t> angles) {
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__init(&seq, angles.size()));
  size_t i = 0;
  for (int16_t angle : angles) {
    seq.data[i++].angle = angle;
  }
}

}  // namespace

TEST_F(CameraFunctions, default_allocator_probe_takes_effect) {
  Request *request = kestrel_ifaces__srv__Camera_Request__create();
  ASSERT_NE(request, nullptr);
  EXPECT_TRUE(alloc_probe::fetched());
  ASSERT_EQ(alloc_probe::count(Op::allocate), 1);
  EXPECT_EQ(alloc_probe::events()[0].a, sizeof(Request));
  kestrel_ifaces__srv__Camera_Request__destroy(request);
  EXPECT_EQ(alloc_probe::count(Op::deallocate), 1);
}

TEST_F(CameraFunctions, request_init_keeps_angle_and_create_zeroes_it) {
  Request request;
  request.angle = 7;
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__init(&request));
  EXPECT_EQ(request.angle, 7);
  kestrel_ifaces__srv__Camera_Request__fini(&request);
  EXPECT_EQ(request.angle, 7);

  Request *created = kestrel_ifaces__srv__Camera_Request__create();
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->angle, 0);
  kestrel_ifaces__srv__Camera_Request__destroy(created);
}

TEST_F(CameraFunctions, null_arguments_give_false_and_touch_nothing) {
  Request request{5};
  RequestSeq seq{};
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__init(nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__are_equal(nullptr, &request));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__are_equal(&request, nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__copy(nullptr, &request));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__copy(&request, nullptr));
  EXPECT_EQ(request.angle, 5);
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__init(nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__are_equal(nullptr, nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__copy(nullptr, nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__init(nullptr, 3));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&seq, nullptr));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__copy(nullptr, &seq));
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__Sequence__init(nullptr, 3));
  kestrel_ifaces__srv__Camera_Request__fini(nullptr);
  kestrel_ifaces__srv__Camera_Response__fini(nullptr);
  kestrel_ifaces__srv__Camera_Request__Sequence__fini(nullptr);
  kestrel_ifaces__srv__Camera_Response__Sequence__fini(nullptr);
  EXPECT_EQ(alloc_probe::events().size(), 0u);

  // The destroy functions still hand NULL to deallocate.
  kestrel_ifaces__srv__Camera_Request__destroy(nullptr);
  kestrel_ifaces__srv__Camera_Response__destroy(nullptr);
  kestrel_ifaces__srv__Camera_Request__Sequence__destroy(nullptr);
  kestrel_ifaces__srv__Camera_Response__Sequence__destroy(nullptr);
  ASSERT_EQ(alloc_probe::count(Op::deallocate), 4);
  for (const auto &event : alloc_probe::events()) {
    EXPECT_EQ(event.pointer, nullptr);
  }
}

TEST_F(CameraFunctions, sequence_init_sizes) {
  RequestSeq empty;
  std::memset(&empty, 0xAB, sizeof(empty));  // init must not read the old contents
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__init(&empty, 0));
  EXPECT_EQ(empty.data, nullptr);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.capacity, 0u);
  EXPECT_EQ(alloc_probe::events().size(), 0u);

  RequestSeq three;
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__init(&three, 3));
  ASSERT_EQ(alloc_probe::count(Op::zero_allocate), 1);
  EXPECT_EQ(alloc_probe::events()[0].a, 3u);
  EXPECT_EQ(alloc_probe::events()[0].b, sizeof(Request));
  EXPECT_EQ(three.size, 3u);
  EXPECT_EQ(three.capacity, 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(three.data[i].angle, 0);
  }
  kestrel_ifaces__srv__Camera_Request__Sequence__fini(&three);
  EXPECT_EQ(three.data, nullptr);
  EXPECT_EQ(three.size, 0u);
  EXPECT_EQ(three.capacity, 0u);
  // A finalised sequence is empty and can be finalised or initialised again.
  kestrel_ifaces__srv__Camera_Request__Sequence__fini(&three);
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__init(&three, 1));
  kestrel_ifaces__srv__Camera_Request__Sequence__fini(&three);
}

TEST_F(CameraFunctions, allocation_failures_leave_nothing_behind) {
  RequestSeq seq;
  std::memset(&seq, 0x5A, sizeof(seq));
  RequestSeq before = seq;
  alloc_probe::fail_nth(Op::zero_allocate, 1);
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__init(&seq, 4));
  EXPECT_EQ(std::memcmp(&seq, &before, sizeof(seq)), 0) << "record written on failure";

  alloc_probe::fail_nth(Op::allocate, 1);
  EXPECT_EQ(kestrel_ifaces__srv__Camera_Request__create(), nullptr);
  alloc_probe::fail_nth(Op::allocate, 1);
  EXPECT_EQ(kestrel_ifaces__srv__Camera_Response__Sequence__create(2), nullptr);
  // The record is released when its elements cannot be allocated.
  alloc_probe::fail_nth(Op::zero_allocate, 1);
  EXPECT_EQ(kestrel_ifaces__srv__Camera_Request__Sequence__create(2), nullptr);
  // A response whose image strings cannot be allocated is not created.
  for (int n = 1; n <= 3; ++n) {
    alloc_probe::fail_nth(Op::allocate, n);
    EXPECT_EQ(kestrel_ifaces__srv__Camera_Response__create(), nullptr)
        << "failing allocation " << n;
  }
}

TEST_F(CameraFunctions, sequence_create_is_not_zero_filled_and_destroy_releases_all) {
  kestrel_ifaces__srv__Camera_Response__Sequence *seq =
      kestrel_ifaces__srv__Camera_Response__Sequence__create(2);
  ASSERT_NE(seq, nullptr);
  EXPECT_EQ(alloc_probe::events()[0].op, Op::allocate);
  EXPECT_EQ(alloc_probe::events()[0].a, sizeof(*seq));
  EXPECT_EQ(seq->size, 2u);
  EXPECT_EQ(seq->capacity, 2u);
  kestrel_ifaces__srv__Camera_Response__Sequence__destroy(seq);
}

TEST_F(CameraFunctions, sequence_copy_grows_exactly_and_never_shrinks) {
  RequestSeq small{}, big{};
  fill(small, {1, 2});
  fill(big, {10, 20, 30, 40, 50});
  int reallocs = alloc_probe::count(Op::reallocate);

  // Into a larger output: no reallocation, the tail keeps its values.
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__copy(&small, &big));
  EXPECT_EQ(alloc_probe::count(Op::reallocate), reallocs);
  EXPECT_EQ(big.size, 2u);
  EXPECT_EQ(big.capacity, 5u);
  EXPECT_EQ(big.data[0].angle, 1);
  EXPECT_EQ(big.data[1].angle, 2);
  EXPECT_EQ(big.data[2].angle, 30);
  EXPECT_EQ(big.data[4].angle, 50);

  // Into an empty output: one reallocation to exactly the input's size.
  RequestSeq five{};
  fill(five, {5, 4, 3, 2, 1});
  RequestSeq empty{};
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__copy(&five, &empty));
  ASSERT_EQ(alloc_probe::count(Op::reallocate), reallocs + 1);
  const alloc_probe::Event &grow = alloc_probe::events().back();
  EXPECT_EQ(grow.op, Op::reallocate);
  EXPECT_EQ(grow.pointer, nullptr);
  EXPECT_EQ(grow.a, 5 * sizeof(Request));
  EXPECT_EQ(empty.capacity, 5u);
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&five, &empty));

  // A failed reallocation leaves the output as it was.
  RequestSeq one{};
  fill(one, {9});
  alloc_probe::fail_nth(Op::reallocate, 1);
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__copy(&five, &one));
  EXPECT_EQ(one.size, 1u);
  EXPECT_EQ(one.capacity, 1u);
  EXPECT_EQ(one.data[0].angle, 9);

  for (RequestSeq *seq : {&small, &big, &five, &empty, &one}) {
    kestrel_ifaces__srv__Camera_Request__Sequence__fini(seq);
  }
}

TEST_F(CameraFunctions, sequence_equality_compares_sizes_and_elements_only) {
  RequestSeq a{}, b{}, c{};
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&a, &b));
  fill(a, {1, 2});
  fill(b, {1, 2, 3});
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&a, &b));
  b.size = 2;  // same elements, larger capacity
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&a, &b));
  fill(c, {1, -2});
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(&a, &c));
  for (RequestSeq *seq : {&a, &b, &c}) {
    kestrel_ifaces__srv__Camera_Request__Sequence__fini(seq);
  }
}

TEST_F(CameraFunctions, response_copy_and_equality_of_a_full_image) {
  Response original, copy;
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&original));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&copy));
  fill_rgb8_image(original.image);
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__are_equal(&original, &copy));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__copy(&original, &copy));
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(&original, &copy));
  EXPECT_NE(copy.image.data.data, original.image.data.data) << "copy must own its pixels";
  EXPECT_STREQ(copy.image.encoding.data, "rgb8");
  copy.image.data.data[640 * 480 * 3 - 1] ^= 1;
  EXPECT_FALSE(kestrel_ifaces__srv__Camera_Response__are_equal(&original, &copy));
  kestrel_ifaces__srv__Camera_Response__fini(&original);
  kestrel_ifaces__srv__Camera_Response__fini(&copy);
}

TEST_F(CameraFunctions, copy_onto_itself_changes_nothing_and_succeeds) {
  Response response;
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&response));
  fill_rgb8_image(response.image, 4, 2);
  Response before;
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&before));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__copy(&response, &before));
  const uint8_t *pixels = response.image.data.data;
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__copy(&response, &response));
  EXPECT_EQ(response.image.data.data, pixels);
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(&response, &before));

  Request request{7};
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__copy(&request, &request));
  EXPECT_EQ(request.angle, 7);

  RequestSeq requests{};
  fill(requests, {3, -4});
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Request__Sequence__copy(&requests, &requests));
  EXPECT_EQ(requests.size, 2u);
  EXPECT_EQ(requests.data[1].angle, -4);

  kestrel_ifaces__srv__Camera_Response__Sequence responses{};
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__init(&responses, 2));
  ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__copy(&before, &responses.data[1]));
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__Sequence__copy(&responses, &responses));
  EXPECT_TRUE(kestrel_ifaces__srv__Camera_Response__are_equal(&responses.data[1], &before));

  kestrel_ifaces__srv__Camera_Response__Sequence__fini(&responses);
  kestrel_ifaces__srv__Camera_Request__Sequence__fini(&requests);
  kestrel_ifaces__srv__Camera_Response__fini(&before);
  kestrel_ifaces__srv__Camera_Response__fini(&response);
}

using CameraFunctionsDeathTest = CameraFunctions;

TEST_F(CameraFunctionsDeathTest, sequence_fini_asserts_on_broken_invariants) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  RequestSeq size_without_data{nullptr, 1, 0};
  EXPECT_DEATH(kestrel_ifaces__srv__Camera_Request__Sequence__fini(&size_without_data),
               "kestrel_ifaces__srv__Camera_Request__Sequence__fini.*0 == array->size");
  RequestSeq capacity_without_data{nullptr, 0, 2};
  EXPECT_DEATH(kestrel_ifaces__srv__Camera_Request__Sequence__fini(&capacity_without_data),
               "0 == array->capacity");
  Response element;
  kestrel_ifaces__srv__Camera_Response__Sequence data_without_capacity{&element, 0, 0};
  EXPECT_DEATH(kestrel_ifaces__srv__Camera_Response__Sequence__fini(&data_without_capacity),
               "kestrel_ifaces__srv__Camera_Response__Sequence__fini.*array->capacity > 0");
}
