// The data model and CDR type support keep no mutable state: several threads
// may create, copy, serialize and deserialize their own messages at once.
// Registered in the ThreadSanitizer build too.
#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "kestrel_ifaces/srv/camera.h"
#include "kestrel_ifaces/srv/detail/camera__rosidl_typesupport_fastrtps_c.h"
#include "rosidl_typesupport_fastrtps_cpp/message_type_support.h"
#include "test_image.hpp"

TEST(CameraConcurrency, threads_round_trip_their_own_messages) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::atomic<int> failures{0};
  auto work = [&failures](int seed) {
    const auto *handle =
        rosidl_typesupport_fastrtps_c__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response();
    const auto &callbacks = *static_cast<const message_type_support_callbacks_t *>(handle->data);
    for (int round = 0; round < kRounds; ++round) {
      kestrel_ifaces__srv__Camera_Response *sent = kestrel_ifaces__srv__Camera_Response__create();
      kestrel_ifaces__srv__Camera_Response *copy = kestrel_ifaces__srv__Camera_Response__create();
      kestrel_ifaces__srv__Camera_Response *received =
          kestrel_ifaces__srv__Camera_Response__create();
      fill_rgb8_image(sent->image, 16, static_cast<uint32_t>(1 + (seed + round) % 8));
      std::vector<char> storage(callbacks.get_serialized_size(sent));
      eprosima::fastcdr::FastBuffer buffer(storage.data(), storage.size());
      eprosima::fastcdr::Cdr out(buffer), in(buffer);
      bool ok = kestrel_ifaces__srv__Camera_Response__copy(sent, copy) &&
                callbacks.cdr_serialize(copy, out) && callbacks.cdr_deserialize(in, received) &&
                kestrel_ifaces__srv__Camera_Response__are_equal(sent, received);
      failures += !ok;
      kestrel_ifaces__srv__Camera_Response__destroy(sent);
      kestrel_ifaces__srv__Camera_Response__destroy(copy);
      kestrel_ifaces__srv__Camera_Response__destroy(received);
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back(work, i);
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures.load(), 0);
}
