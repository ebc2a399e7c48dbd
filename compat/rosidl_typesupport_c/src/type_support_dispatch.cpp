// Run-time selection of a type-support family: the message and the service
// dispatch share one lookup, since both handle kinds have the same three
// fields and the same map. The C++ dispatch (rosidl_typesupport_cpp) calls
// these functions too, so one lock guards the library slots of every map.
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "rcpputils/find_library.hpp"
#include "rcpputils/shared_library.hpp"
#include "rcutils/error_handling.h"
#include "rosidl_typesupport_c/message_type_support_dispatch.h"
#include "rosidl_typesupport_c/service_type_support_dispatch.h"
#include "rosidl_typesupport_c/type_support_map.h"

namespace {
// Guards the data slots of every map: a slot is read, and filled with a newly
// loaded library, only under this lock, so concurrent first lookups load a
// family library once.
std::mutex &library_slots_mutex() {
  static std::mutex mutex;
  return mutex;
}

// The family library of map entry `index`, loaded and stored in its data slot
// on first use; NULL with the error state set when it cannot be found or
// loaded.
rcpputils::SharedLibrary *family_library(const type_support_map_t &map, size_t index) {
  std::lock_guard<std::mutex> lock(library_slots_mutex());
  if (map.data[index] != nullptr) {
    return static_cast<rcpputils::SharedLibrary *>(map.data[index]);
  }
  const std::string name = std::string(map.package_name) + "__" + map.typesupport_identifier[index];
  try {
    const std::string path = rcpputils::find_library_path(name);
    if (path.empty()) {
      RCUTILS_SET_ERROR_MSG_WITH_FORMAT_STRING("library '%s' not found on the library path",
                                               rcpputils::filename_for_library(name).c_str());
      return nullptr;
    }
    // Handles from the library live as long as it is loaded, so it stays
    // loaded for the rest of the process.
    auto library = std::make_unique<rcpputils::SharedLibrary>(path);
    map.data[index] = library.get();
    return library.release();
  } catch (const std::exception &e) {
    RCUTILS_SET_ERROR_MSG_WITH_FORMAT_STRING("loading library '%s' failed: %s", name.c_str(),
                                             e.what());
    return nullptr;
  }
}

template <typename HandleT>
const HandleT *dispatch_handle(const HandleT *handle, const char *identifier) {
  if (handle == nullptr || identifier == nullptr) {
    RCUTILS_SET_ERROR_MSG("type support handle and identifier must not be null");
    return nullptr;
  }
  if (handle->typesupport_identifier != nullptr &&
      std::strcmp(handle->typesupport_identifier, identifier) == 0) {
    return handle;
  }
  const auto *map = static_cast<const type_support_map_t *>(handle->data);
  if (map == nullptr) {
    RCUTILS_SET_ERROR_MSG("type support handle carries no type support map");
    return nullptr;
  }
  for (size_t i = 0; i < map->size; ++i) {
    if (std::strcmp(map->typesupport_identifier[i], identifier) != 0) {
      continue;
    }
    rcpputils::SharedLibrary *library = family_library(*map, i);
    if (library == nullptr) {
      return nullptr;
    }
    try {
      // get_symbol throws when the library lacks the symbol.
      using Getter = const HandleT *(*)();
      auto getter = reinterpret_cast<Getter>(library->get_symbol(map->symbol_name[i]));
      return getter();
    } catch (const std::exception &e) {
      RCUTILS_SET_ERROR_MSG_WITH_FORMAT_STRING("looking up symbol '%s' failed: %s",
                                               map->symbol_name[i], e.what());
      return nullptr;
    }
  }
  RCUTILS_SET_ERROR_MSG_WITH_FORMAT_STRING("type support '%s' is not available for package '%s'",
                                           identifier, map->package_name);
  return nullptr;
}

}  // namespace

extern "C" {

const rosidl_message_type_support_t *rosidl_typesupport_c__get_message_typesupport_handle_function(
    const rosidl_message_type_support_t *handle, const char *identifier) {
  return dispatch_handle(handle, identifier);
}

const rosidl_service_type_support_t *rosidl_typesupport_c__get_service_typesupport_handle_function(
    const rosidl_service_type_support_t *handle, const char *identifier) {
  return dispatch_handle(handle, identifier);
}

}  // extern "C"
