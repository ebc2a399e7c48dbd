// A counting, failing default allocator for the message tests.
//
// Linking alloc_probe.cpp into a test executable replaces
// rcutils_get_default_allocator() for the whole process (the executable's
// definition wins over librcutils'), so every library that fetches the
// default allocator is observed: each call is logged, and any one operation
// can be made to fail on its n-th call. The blocks themselves come from
// malloc, so AddressSanitizer still checks them.
#ifndef KESTREL_HARNESS_ALLOC_PROBE_HPP_
#define KESTREL_HARNESS_ALLOC_PROBE_HPP_

#include <cstddef>
#include <string>
#include <vector>

namespace alloc_probe {

enum class Op { allocate, zero_allocate, reallocate, deallocate };

// One allocator call, or another event a test logs beside them.
struct Event {
  Op op;
  size_t a = 0;                   // allocate/reallocate: bytes; zero_allocate: count
  size_t b = 0;                   // zero_allocate: element size
  const void *pointer = nullptr;  // reallocate/deallocate: the pointer passed
  std::string note;               // set for events logged with note()
};

// Clears the log and the failure plan; logging starts.
void reset();
// Clears the log only; the count of outstanding blocks goes on.
void clear_log();
// Logging is off until reset() (so gtest's own allocations do not count).
void stop();
// Makes the n-th call (1-based, counted from now) of `op` return NULL.
void fail_nth(Op op, int n);
// Adds a non-allocator event (e.g. "fini 0x...") to the log.
void note(const std::string &text, const void *pointer = nullptr);

const std::vector<Event> &events();
int count(Op op);
// Number of blocks handed out and not yet released since reset().
long outstanding();
// True once the probe's allocator has been fetched since reset().
bool fetched();

}  // namespace alloc_probe

#endif  // KESTREL_HARNESS_ALLOC_PROBE_HPP_
