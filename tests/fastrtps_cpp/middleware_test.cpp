// The C++ CDR family of Camera as the middleware reaches it: rmw_fastrtps_cpp
// takes the C++ dispatch handle and asks it for
// "rosidl_typesupport_fastrtps_cpp", which loads
// libkestrel_ifaces__rosidl_typesupport_fastrtps_cpp.so by name. This program
// does not link that library (LD_LIBRARY_PATH names its folder); it checks
// that the records handed out encode exactly the bytes of the C family.
#include <dlfcn.h>
#include <fastcdr/Cdr.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "cdr_stream.hpp"
#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/camera.hpp"
#include "kestrel_ifaces/srv/camera__rosidl_typesupport_cpp.hpp"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "rcutils/error_handling.h"
#include "rosidl_runtime_c/service_type_support_struct.h"
#include "rosidl_typesupport_fastrtps_cpp/identifier.hpp"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "rosidl_typesupport_fastrtps_cpp/service_type_support.h"
#include "test_image.hpp"
#include "test_image_cpp.hpp"
#include "loaded_library.hpp"

using eprosima::fastcdr::Cdr;

namespace {

using kestrel_ifaces::srv::Camera;
using Callbacks = message_type_support_callbacks_t;

constexpr const char *family_library = "libkestrel_ifaces__rosidl_typesupport_fastrtps_cpp.so";

const Callbacks &callbacks(const rosidl_message_type_support_t *handle) {
  return *static_cast<const Callbacks *>(handle->data);
}

// The family's service handle, found as the middleware finds it.
const rosidl_service_type_support_t *fastrtps_cpp_service() {
  const rosidl_service_type_support_t *dispatch =
      rosidl_typesupport_cpp::get_service_type_support_handle<Camera>();
  const rosidl_service_type_support_t *found =
      dispatch->func(dispatch, rosidl_typesupport_fastrtps_cpp::typesupport_identifier);
  if (found == nullptr) {
    ADD_FAILURE() << rcutils_get_error_string().str;
    rcutils_reset_error();
  }
  return found;
}

const service_type_support_callbacks_t &service_record() {
  return *static_cast<const service_type_support_callbacks_t *>(fastrtps_cpp_service()->data);
}

const Callbacks &cpp_request() {
  return callbacks(service_record().request_members_);
}
const Callbacks &cpp_response() {
  return callbacks(service_record().response_members_);
}

const Callbacks &c_request() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request());
}

const Callbacks &c_response() {
  return callbacks(
      rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response());
}

struct ResponsePair : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(kestrel_ifaces__srv__Camera_Response__init(&c_message));
    fill_rgb8_image(c_message.image);
    fill_rgb8_image(cpp_message.image);
  }
  void TearDown() override { kestrel_ifaces__srv__Camera_Response__fini(&c_message); }
  kestrel_ifaces__srv__Camera_Response c_message;
  Camera::Response cpp_message;
};

}  // namespace

TEST(FastrtpsCppThroughDispatch, lookups_load_the_family_and_give_its_static_handles) {
  const rosidl_service_type_support_t *service = fastrtps_cpp_service();
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->typesupport_identifier,
            rosidl_typesupport_fastrtps_cpp::typesupport_identifier);
  EXPECT_STREQ(service->typesupport_identifier, "rosidl_typesupport_fastrtps_cpp");
  EXPECT_EQ(service->func, get_service_typesupport_handle_function);
  EXPECT_EQ(service,
            loaded_handle(family_library,
                          "rosidl_typesupport_fastrtps_cpp__get_service_type_support_handle__"
                          "kestrel_ifaces__srv__Camera"));
  EXPECT_EQ(fastrtps_cpp_service(), service) << "a later lookup gives the same handle";

  const service_type_support_callbacks_t &record = service_record();
  EXPECT_STREQ(record.service_namespace_, "kestrel_ifaces::srv");
  EXPECT_STREQ(record.service_name_, "Camera");

  // The message lookups give the handles the service record points at.
  const auto *request = rosidl_typesupport_cpp::get_message_type_support_handle<Camera::Request>();
  const auto *response =
      rosidl_typesupport_cpp::get_message_type_support_handle<Camera::Response>();
  const char *id = rosidl_typesupport_fastrtps_cpp::typesupport_identifier;
  EXPECT_EQ(request->func(request, id), record.request_members_);
  EXPECT_EQ(response->func(response, id), record.response_members_);

  struct Expected {
    const rosidl_message_type_support_t *handle;
    const char *name;
  } messages[] = {{record.request_members_, "Camera_Request"},
                  {record.response_members_, "Camera_Response"}};
  for (const Expected &message : messages) {
    SCOPED_TRACE(message.name);
    EXPECT_EQ(message.handle->typesupport_identifier, id);
    EXPECT_EQ(message.handle->func, get_message_typesupport_handle_function);
    EXPECT_EQ(get_message_typesupport_handle_function(message.handle, id), message.handle);
    EXPECT_STREQ(callbacks(message.handle).message_namespace_, "kestrel_ifaces::srv");
    EXPECT_STREQ(callbacks(message.handle).message_name_, message.name);
  }
}

TEST(FastrtpsCppThroughDispatch, request_round_trips_with_the_c_familys_bytes) {
  for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
    for (int16_t angle : {int16_t{0}, int16_t{258}, int16_t{-27}, int16_t{-32768}}) {
      SCOPED_TRACE(testing::Message() << "angle " << angle << " order " << int(order));
      const kestrel_ifaces__srv__Camera_Request c_message{angle};
      Camera::Request cpp_message;
      cpp_message.angle = angle;
      Stream via_c(8, order), via_cpp(8, order);
      via_c.cdr << uint8_t{0xAA};  // an odd start needs one alignment byte
      via_cpp.cdr << uint8_t{0xAA};
      ASSERT_TRUE(c_request().cdr_serialize(&c_message, via_c.cdr));
      ASSERT_TRUE(cpp_request().cdr_serialize(&cpp_message, via_cpp.cdr));
      EXPECT_EQ(via_cpp.written(), via_c.written());
      EXPECT_EQ(via_cpp.written().size(), 4u);

      via_cpp.cdr.reset();
      uint8_t lead = 0;
      via_cpp.cdr >> lead;
      Camera::Request back;
      ASSERT_TRUE(cpp_request().cdr_deserialize(via_cpp.cdr, &back));
      EXPECT_EQ(back, cpp_message);
    }
  }
}

TEST_F(ResponsePair, full_response_round_trips_with_the_c_familys_bytes) {
  const size_t bytes = c_response().get_serialized_size(&c_message) + 8;
  for (Cdr::Endianness order : {Cdr::LITTLE_ENDIANNESS, Cdr::BIG_ENDIANNESS}) {
    for (size_t lead : {0, 1, 3}) {
      SCOPED_TRACE(testing::Message() << "lead " << lead << " order " << int(order));
      Stream via_c(bytes, order), via_cpp(bytes, order);
      for (size_t i = 0; i < lead; ++i) {
        via_c.cdr << uint8_t{0};
        via_cpp.cdr << uint8_t{0};
      }
      ASSERT_TRUE(c_response().cdr_serialize(&c_message, via_c.cdr));
      ASSERT_TRUE(cpp_response().cdr_serialize(&cpp_message, via_cpp.cdr));
      ASSERT_EQ(via_cpp.written(), via_c.written());

      // The C family's bytes decode into the same C++ response.
      via_c.cdr.reset();
      for (size_t i = 0; i < lead; ++i) {
        uint8_t skip = 0;
        via_c.cdr >> skip;
      }
      Camera::Response back;
      ASSERT_TRUE(cpp_response().cdr_deserialize(via_c.cdr, &back));
      EXPECT_EQ(back, cpp_message);
      EXPECT_EQ(via_c.cdr.getSerializedDataLength(), via_cpp.cdr.getSerializedDataLength());
    }
  }
}

TEST_F(ResponsePair, sizes_and_bounds_agree_with_the_c_family) {
  EXPECT_EQ(cpp_response().get_serialized_size(&cpp_message),
            c_response().get_serialized_size(&c_message));
  const kestrel_ifaces__srv__Camera_Request c_request_message{5};
  const Camera::Request cpp_request_message;
  EXPECT_EQ(cpp_request().get_serialized_size(&cpp_request_message), 2u);
  EXPECT_EQ(c_request().get_serialized_size(&c_request_message), 2u);

  struct Case {
    const Callbacks &cpp;
    const Callbacks &c;
    char key;
  } cases[] = {{cpp_request(), c_request(), ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE},
               {cpp_response(), c_response(), ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.cpp.message_name_);
    char cpp_key = 99, c_key = 99;
    EXPECT_EQ(c.cpp.max_serialized_size(cpp_key), c.c.max_serialized_size(c_key));
    EXPECT_EQ(cpp_key, c.key);
    EXPECT_EQ(c_key, c.key);
  }
}

// Several threads make the first lookup at once (one of them loads the
// family library) and round-trip their own responses through the shared
// records. Registered in the ThreadSanitizer build too.
TEST(FastrtpsCppThroughDispatch, threads_look_up_and_round_trip_at_once) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  auto work = [&](int seed) {
    while (!go.load()) {
    }
    const rosidl_service_type_support_t *service = fastrtps_cpp_service();
    if (service == nullptr) {
      ++failures;
      return;
    }
    const auto &record = *static_cast<const service_type_support_callbacks_t *>(service->data);
    const Callbacks &response = callbacks(record.response_members_);
    for (int round = 0; round < kRounds; ++round) {
      Camera::Response sent, received;
      fill_rgb8_image(sent.image, 16, static_cast<uint32_t>(1 + (seed + round) % 8));
      Stream stream(response.get_serialized_size(&sent));
      Cdr in(stream.buffer);
      failures += !(response.cdr_serialize(&sent, stream.cdr) &&
                    response.cdr_deserialize(in, &received) && received == sent);
    }
  };
  std::vector<std::thread> threads;
  for (int seed = 0; seed < kThreads; ++seed) {
    threads.emplace_back(work, seed);
  }
  go = true;
  for (std::thread &thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures.load(), 0);
}
