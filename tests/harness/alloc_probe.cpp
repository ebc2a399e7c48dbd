#include "alloc_probe.hpp"

#include <cstdlib>

#include "rcutils/allocator.h"

namespace alloc_probe {
namespace {

// Written and read by the test's own thread only.
bool logging = false;
bool was_fetched = false;
std::vector<Event> *log_events = nullptr;
int fail_at[4] = {0, 0, 0, 0};  // per Op: countdown to the failing call, 0 = never
long live_blocks = 0;

std::vector<Event> &log() {
  if (!log_events) {
    log_events = new std::vector<Event>();
  }
  return *log_events;
}

bool should_fail(Op op) {
  int &left = fail_at[static_cast<int>(op)];
  if (left == 0) {
    return false;
  }
  return --left == 0;
}

void record(Event event) {
  if (logging) {
    log().push_back(std::move(event));
  }
}

void *do_allocate(size_t size, void *) {
  record({Op::allocate, size, 0, nullptr, {}});
  if (logging && should_fail(Op::allocate)) {
    return nullptr;
  }
  void *block = std::malloc(size);
  live_blocks += logging && block;
  return block;
}

void *do_zero_allocate(size_t count, size_t size, void *) {
  record({Op::zero_allocate, count, size, nullptr, {}});
  if (logging && should_fail(Op::zero_allocate)) {
    return nullptr;
  }
  void *block = std::calloc(count, size);
  live_blocks += logging && block;
  return block;
}

void *do_reallocate(void *pointer, size_t size, void *) {
  record({Op::reallocate, size, 0, pointer, {}});
  if (logging && should_fail(Op::reallocate)) {
    return nullptr;
  }
  void *block = std::realloc(pointer, size);
  live_blocks += logging && block && !pointer;
  return block;
}

void do_deallocate(void *pointer, void *) {
  record({Op::deallocate, 0, 0, pointer, {}});
  live_blocks -= logging && pointer;
  std::free(pointer);
}

}  // namespace

void reset() {
  log().clear();
  for (int &left : fail_at) {
    left = 0;
  }
  live_blocks = 0;
  was_fetched = false;
  logging = true;
}

void clear_log() {
  log().clear();
}

void stop() {
  logging = false;
}

void fail_nth(Op op, int n) {
  fail_at[static_cast<int>(op)] = n;
}

void note(const std::string &text, const void *pointer) {
  record({Op::deallocate, 0, 0, pointer, text});
}

const std::vector<Event> &events() {
  return log();
}

int count(Op op) {
  int n = 0;
  for (const Event &event : log()) {
    n += event.note.empty() && event.op == op;
  }
  return n;
}

long outstanding() {
  return live_blocks;
}

bool fetched() {
  return was_fetched;
}

}  // namespace alloc_probe

extern "C" rcutils_allocator_t rcutils_get_default_allocator(void) {
  alloc_probe::was_fetched |= alloc_probe::logging;
  rcutils_allocator_t allocator;
  allocator.allocate = alloc_probe::do_allocate;
  allocator.deallocate = alloc_probe::do_deallocate;
  allocator.reallocate = alloc_probe::do_reallocate;
  allocator.zero_allocate = alloc_probe::do_zero_allocate;
  allocator.state = nullptr;
  return allocator;
}
