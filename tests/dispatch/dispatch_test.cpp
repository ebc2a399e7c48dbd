// The C++ type-support dispatch end to end: the dispatch handles and their
// maps, and lookups that load the C++ introspection library by name at run
// time. This program does not link that library; LD_LIBRARY_PATH names the
// folder that holds it.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kestrel_ifaces/srv/camera__rosidl_typesupport_cpp.hpp"
#include "rcutils/error_handling.h"
#include "rosidl_typesupport_cpp/identifier.hpp"
#include "rosidl_typesupport_cpp/message_type_support_dispatch.hpp"
#include "rosidl_typesupport_cpp/service_type_support_dispatch.hpp"
#include "rosidl_typesupport_cpp/type_support_map.h"
#include "loaded_library.hpp"

namespace {

using kestrel_ifaces::srv::Camera;
using kestrel_ifaces::srv::Camera_Request;
using kestrel_ifaces::srv::Camera_Response;

constexpr const char *fastrtps_id = "rosidl_typesupport_fastrtps_cpp";
constexpr const char *introspection_id = "rosidl_typesupport_introspection_cpp";
constexpr const char *introspection_library =
    "libkestrel_ifaces__rosidl_typesupport_introspection_cpp.so";

const type_support_map_t *map_of(const void *data) {
  return static_cast<const type_support_map_t *>(data);
}

// One of the three interface types: its dispatch handle's record fields and
// the names its map must list.
struct Interface {
  const char *name;
  const char *typesupport_identifier;
  const void *data;
  const void *func;
  std::string kind;  // "message" or "service"
};

std::vector<Interface> interfaces() {
  const auto *request = rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Request>();
  const auto *response = rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Response>();
  const auto *service = rosidl_typesupport_cpp::get_service_type_support_handle<Camera>();
  return {
      {"Camera_Request", request->typesupport_identifier, request->data,
       reinterpret_cast<const void *>(request->func), "message"},
      {"Camera_Response", response->typesupport_identifier, response->data,
       reinterpret_cast<const void *>(response->func), "message"},
      {"Camera", service->typesupport_identifier, service->data,
       reinterpret_cast<const void *>(service->func), "service"},
  };
}

std::string take_error() {
  std::string text = rcutils_error_is_set() ? rcutils_get_error_string().str : "";
  rcutils_reset_error();
  return text;
}

TEST(Dispatch, c_and_cpp_getters_return_the_same_handle_every_call) {
  for (int call = 0; call < 3; ++call) {
    EXPECT_EQ(
        rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Request(),
        rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Request>());
    EXPECT_EQ(
        rosidl_typesupport_cpp__get_message_type_support_handle__kestrel_ifaces__srv__Camera_Response(),
        rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Response>());
    EXPECT_EQ(
        rosidl_typesupport_cpp__get_service_type_support_handle__kestrel_ifaces__srv__Camera(),
        rosidl_typesupport_cpp::get_service_type_support_handle<Camera>());
  }
}

TEST(Dispatch, handles_carry_identifier_function_and_map) {
  for (const Interface &type : interfaces()) {
    SCOPED_TRACE(type.name);
    EXPECT_EQ(type.typesupport_identifier, rosidl_typesupport_cpp::typesupport_identifier);
    EXPECT_STREQ(type.typesupport_identifier, "rosidl_typesupport_cpp");
    EXPECT_EQ(type.func,
              type.kind == "message"
                  ? reinterpret_cast<const void *>(
                        &rosidl_typesupport_cpp::get_message_typesupport_handle_function)
                  : reinterpret_cast<const void *>(
                        &rosidl_typesupport_cpp::get_service_typesupport_handle_function));
    const type_support_map_t *map = map_of(type.data);
    ASSERT_EQ(map->size, 2u);
    EXPECT_STREQ(map->package_name, "kestrel_ifaces");
    EXPECT_STREQ(map->typesupport_identifier[0], fastrtps_id);
    EXPECT_STREQ(map->typesupport_identifier[1], introspection_id);
    const std::string suffix =
        "__get_" + type.kind + "_type_support_handle__kestrel_ifaces__srv__" + type.name;
    EXPECT_EQ(map->symbol_name[0], fastrtps_id + suffix);
    EXPECT_EQ(map->symbol_name[1], introspection_id + suffix);
  }
}

// Runs in a re-executed copy of this program, before any lookup: the slots
// are empty and the family library is not loaded; one lookup fills exactly
// the introspection slot.
TEST(DispatchDeathTest, data_slots_are_empty_until_the_first_lookup) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        bool ok = dlopen(introspection_library, RTLD_NOW | RTLD_NOLOAD) == nullptr;
        for (const Interface &type : interfaces()) {
          ok = ok && map_of(type.data)->data[0] == nullptr && map_of(type.data)->data[1] == nullptr;
        }
        const auto *request =
            rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Request>();
        ok = ok && request->func(request, introspection_id) != nullptr;
        const type_support_map_t *map = map_of(request->data);
        ok = ok && map->data[0] == nullptr && map->data[1] != nullptr;
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(Dispatch, introspection_lookup_returns_the_introspection_handles) {
  const auto *request = rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Request>();
  const auto *response = rosidl_typesupport_cpp::get_message_type_support_handle<Camera_Response>();
  const auto *service = rosidl_typesupport_cpp::get_service_type_support_handle<Camera>();

  const rosidl_message_type_support_t *found_request = request->func(request, introspection_id);
  const rosidl_message_type_support_t *found_response = response->func(response, introspection_id);
  const rosidl_service_type_support_t *found_service = service->func(service, introspection_id);
  ASSERT_NE(found_request, nullptr) << take_error();
  ASSERT_NE(found_response, nullptr) << take_error();
  ASSERT_NE(found_service, nullptr) << take_error();

  EXPECT_EQ(found_request,
            loaded_handle(introspection_library, map_of(request->data)->symbol_name[1]));
  EXPECT_EQ(found_response,
            loaded_handle(introspection_library, map_of(response->data)->symbol_name[1]));
  EXPECT_EQ(found_service,
            loaded_handle(introspection_library, map_of(service->data)->symbol_name[1]));
  EXPECT_STREQ(found_request->typesupport_identifier, introspection_id);
  EXPECT_STREQ(found_service->typesupport_identifier, introspection_id);

  // Later lookups reuse the loaded library and give the same handle.
  EXPECT_EQ(request->func(request, introspection_id), found_request);
  EXPECT_EQ(service->func(service, introspection_id), found_service);
  // Asking a handle for its own family gives the handle itself.
  EXPECT_EQ(request->func(request, "rosidl_typesupport_cpp"), request);
}

TEST(Dispatch, absent_family_unknown_identifier_and_null_arguments_fail_cleanly) {
  rcutils_reset_error();
  for (const Interface &type : interfaces()) {
    SCOPED_TRACE(type.name);
    const rosidl_message_type_support_t handle{type.typesupport_identifier, type.data, nullptr};
    const rosidl_service_type_support_t service{type.typesupport_identifier, type.data, nullptr};
    const auto lookup = [&](const char *identifier) -> const void * {
      return type.kind == "message"
                 ? static_cast<const void *>(
                       rosidl_typesupport_cpp::get_message_typesupport_handle_function(&handle,
                                                                                       identifier))
                 : static_cast<const void *>(
                       rosidl_typesupport_cpp::get_service_typesupport_handle_function(&service,
                                                                                       identifier));
    };
    // The fastrtps C++ family's library is not on this program's library path.
    EXPECT_EQ(lookup(fastrtps_id), nullptr);
    EXPECT_NE(take_error().find("libkestrel_ifaces__rosidl_typesupport_fastrtps_cpp.so"),
              std::string::npos);
    EXPECT_EQ(map_of(type.data)->data[0], nullptr);

    EXPECT_EQ(lookup("rosidl_typesupport_nonexistent"), nullptr);
    EXPECT_NE(take_error().find("rosidl_typesupport_nonexistent"), std::string::npos);

    EXPECT_EQ(lookup(nullptr), nullptr);
    EXPECT_FALSE(take_error().empty());
  }
  EXPECT_EQ(
      rosidl_typesupport_cpp::get_message_typesupport_handle_function(nullptr, introspection_id),
      nullptr);
  EXPECT_FALSE(take_error().empty());
}

// A map of the test's own: a present library whose entry symbol is missing,
// and a package whose library does not exist.
const char *const probe_ids[2] = {introspection_id, fastrtps_id};
const char *const probe_symbols[2] = {"no_such_entry_symbol", "no_such_entry_symbol"};
void *probe_slots[2] = {nullptr, nullptr};
const type_support_map_t probe_map = {2, "kestrel_ifaces", probe_ids, probe_symbols, probe_slots};

TEST(Dispatch, missing_entry_symbol_fails_cleanly) {
  const rosidl_message_type_support_t handle{
      rosidl_typesupport_cpp::typesupport_identifier, &probe_map,
      rosidl_typesupport_cpp::get_message_typesupport_handle_function};
  EXPECT_EQ(handle.func(&handle, introspection_id), nullptr);
  EXPECT_NE(take_error().find("no_such_entry_symbol"), std::string::npos);
  // The library itself was found and stays loaded in its slot.
  EXPECT_NE(probe_slots[0], nullptr);
}

// Fresh slots, so every thread's lookup races to load the library first.
const char *const race_ids[1] = {introspection_id};
const char *const race_symbols[1] = {
    "rosidl_typesupport_introspection_cpp__get_message_type_support_handle__kestrel_ifaces__srv__"
    "Camera_Response"};
void *race_slots[1] = {nullptr};
const type_support_map_t race_map = {1, "kestrel_ifaces", race_ids, race_symbols, race_slots};

TEST(Dispatch, concurrent_first_lookups_agree) {
  const rosidl_message_type_support_t handle{
      rosidl_typesupport_cpp::typesupport_identifier, &race_map,
      rosidl_typesupport_cpp::get_message_typesupport_handle_function};
  std::atomic<bool> go{false};
  std::vector<const rosidl_message_type_support_t *> seen(8);
  std::vector<std::thread> threads;
  for (auto &slot : seen) {
    threads.emplace_back([&go, &slot, &handle] {
      while (!go.load()) {
      }
      slot = handle.func(&handle, introspection_id);
    });
  }
  go = true;
  for (auto &thread : threads) {
    thread.join();
  }
  ASSERT_NE(seen[0], nullptr);
  for (const auto *found : seen) {
    EXPECT_EQ(found, seen[0]);
  }
  EXPECT_EQ(seen[0], loaded_handle(introspection_library, race_symbols[0]));
  EXPECT_NE(race_slots[0], nullptr);
}

}  // namespace
