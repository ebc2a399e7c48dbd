// Create/destroy and sequence functions of the stand-in message types,
// written once for all of them.
//
// COMPAT_MESSAGE_SEQUENCE_FUNCTIONS(MSG, PUBLIC) defines the six functions
// MSG##__Sequence__init/fini/create/destroy/are_equal/copy from the message's
// own __init, __fini, __are_equal and __copy. PUBLIC is the package's export
// macro. All `capacity` elements of a sequence are initialised; copy grows the
// output to exactly the input's size and never shrinks it; a failure releases
// what the call took, in reverse order. Memory comes from the rcutils default
// allocator, fetched in each call. kestrel_ifaces, which builds on its own,
// keeps its own copy of these.
#ifndef COMPAT__MESSAGE_FUNCTIONS_H_
#define COMPAT__MESSAGE_FUNCTIONS_H_

#include <assert.h>
#include <stdbool.h>
#include <stddef.h>
#include <string.h>

#include "rcutils/allocator.h"

#define COMPAT_MESSAGE_SEQUENCE_FUNCTIONS(MSG, PUBLIC)                                             \
  PUBLIC bool MSG##__Sequence__init(MSG##__Sequence *array, size_t size) {                         \
    if (!array) {                                                                                  \
      return false;                                                                                \
    }                                                                                              \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();                               \
    MSG *data = NULL;                                                                              \
    if (size > 0) {                                                                                \
      data = (MSG *)allocator.zero_allocate(size, sizeof(MSG), allocator.state);                   \
      if (!data) {                                                                                 \
        return false;                                                                              \
      }                                                                                            \
      for (size_t i = 0; i < size; ++i) {                                                          \
        if (!MSG##__init(&data[i])) {                                                              \
          while (i-- > 0) {                                                                        \
            MSG##__fini(&data[i]);                                                                 \
          }                                                                                        \
          allocator.deallocate(data, allocator.state);                                             \
          return false;                                                                            \
        }                                                                                          \
      }                                                                                            \
    }                                                                                              \
    array->data = data;                                                                            \
    array->size = size;                                                                            \
    array->capacity = size;                                                                        \
    return true;                                                                                   \
  }                                                                                                \
                                                                                                   \
  PUBLIC void MSG##__Sequence__fini(MSG##__Sequence *array) {                                      \
    if (!array) {                                                                                  \
      return;                                                                                      \
    }                                                                                              \
    if (!array->data) {                                                                            \
      assert(0 == array->size);                                                                    \
      assert(0 == array->capacity);                                                                \
      return;                                                                                      \
    }                                                                                              \
    assert(array->capacity > 0);                                                                   \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();                               \
    for (size_t i = 0; i < array->capacity; ++i) {                                                 \
      MSG##__fini(&array->data[i]);                                                                \
    }                                                                                              \
    allocator.deallocate(array->data, allocator.state);                                            \
    array->data = NULL;                                                                            \
    array->size = 0;                                                                               \
    array->capacity = 0;                                                                           \
  }                                                                                                \
                                                                                                   \
  PUBLIC MSG##__Sequence *MSG##__Sequence__create(size_t size) {                                   \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();                               \
    MSG##__Sequence *array =                                                                       \
        (MSG##__Sequence *)allocator.allocate(sizeof(MSG##__Sequence), allocator.state);           \
    if (!array) {                                                                                  \
      return NULL;                                                                                 \
    }                                                                                              \
    if (!MSG##__Sequence__init(array, size)) {                                                     \
      allocator.deallocate(array, allocator.state);                                                \
      return NULL;                                                                                 \
    }                                                                                              \
    return array;                                                                                  \
  }                                                                                                \
                                                                                                   \
  PUBLIC void MSG##__Sequence__destroy(MSG##__Sequence *array) {                                   \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();                               \
    if (array) {                                                                                   \
      MSG##__Sequence__fini(array);                                                                \
    }                                                                                              \
    allocator.deallocate(array, allocator.state);                                                  \
  }                                                                                                \
                                                                                                   \
  PUBLIC bool MSG##__Sequence__are_equal(const MSG##__Sequence *lhs, const MSG##__Sequence *rhs) { \
    if (!lhs || !rhs || lhs->size != rhs->size) {                                                  \
      return false;                                                                                \
    }                                                                                              \
    for (size_t i = 0; i < lhs->size; ++i) {                                                       \
      if (!MSG##__are_equal(&lhs->data[i], &rhs->data[i])) {                                       \
        return false;                                                                              \
      }                                                                                            \
    }                                                                                              \
    return true;                                                                                   \
  }                                                                                                \
                                                                                                   \
  PUBLIC bool MSG##__Sequence__copy(const MSG##__Sequence *input, MSG##__Sequence *output) {       \
    if (!input || !output) {                                                                       \
      return false;                                                                                \
    }                                                                                              \
    if (input == output) {                                                                         \
      return true;                                                                                 \
    }                                                                                              \
    if (output->capacity < input->size) {                                                          \
      rcutils_allocator_t allocator = rcutils_get_default_allocator();                             \
      MSG *data =                                                                                  \
          (MSG *)allocator.reallocate(output->data, input->size * sizeof(MSG), allocator.state);   \
      if (!data) {                                                                                 \
        return false;                                                                              \
      }                                                                                            \
      output->data = data;                                                                         \
      for (size_t i = output->capacity; i < input->size; ++i) {                                    \
        if (!MSG##__init(&data[i])) {                                                              \
          while (i-- > output->capacity) {                                                         \
            MSG##__fini(&data[i]);                                                                 \
          }                                                                                        \
          return false;                                                                            \
        }                                                                                          \
      }                                                                                            \
      output->capacity = input->size;                                                              \
    }                                                                                              \
    output->size = input->size;                                                                    \
    for (size_t i = 0; i < input->size; ++i) {                                                     \
      if (!MSG##__copy(&input->data[i], &output->data[i])) {                                       \
        return false;                                                                              \
      }                                                                                            \
    }                                                                                              \
    return true;                                                                                   \
  }

// COMPAT_MESSAGE_CREATE_FUNCTIONS(MSG, PUBLIC) defines MSG##__create (a
// zero-filled, initialised message from the default allocator, or NULL) and
// MSG##__destroy (finalise if not NULL, then release).
#define COMPAT_MESSAGE_CREATE_FUNCTIONS(MSG, PUBLIC)                    \
  PUBLIC MSG *MSG##__create(void) {                                     \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();    \
    MSG *msg = (MSG *)allocator.allocate(sizeof(MSG), allocator.state); \
    if (!msg) {                                                         \
      return NULL;                                                      \
    }                                                                   \
    memset(msg, 0, sizeof(MSG));                                        \
    if (!MSG##__init(msg)) {                                            \
      allocator.deallocate(msg, allocator.state);                       \
      return NULL;                                                      \
    }                                                                   \
    return msg;                                                         \
  }                                                                     \
                                                                        \
  PUBLIC void MSG##__destroy(MSG *msg) {                                \
    rcutils_allocator_t allocator = rcutils_get_default_allocator();    \
    if (msg) {                                                          \
      MSG##__fini(msg);                                                 \
    }                                                                   \
    allocator.deallocate(msg, allocator.state);                         \
  }

#endif  // COMPAT__MESSAGE_FUNCTIONS_H_
