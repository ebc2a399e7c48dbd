// What a family library that a dispatch lookup loaded into this process
// returns itself, for tests that check the dispatch handed back that very
// handle.
#ifndef KESTREL_SUPPORT_LOADED_LIBRARY_HPP_
#define KESTREL_SUPPORT_LOADED_LIBRARY_HPP_

#include <dlfcn.h>

// The result of the getter `symbol` of `library` (a file name, as the
// dispatch loads it); null when the library is not loaded. It never loads it.
inline const void *loaded_handle(const char *library, const char *symbol) {
  void *loaded = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (loaded == nullptr) {
    return nullptr;
  }
  using Getter = const void *(*)();
  auto getter = reinterpret_cast<Getter>(dlsym(loaded, symbol));
  const void *handle = getter != nullptr ? getter() : nullptr;
  dlclose(loaded);
  return handle;
}

#endif  // KESTREL_SUPPORT_LOADED_LIBRARY_HPP_
