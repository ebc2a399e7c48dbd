// Functions of the two Camera messages and their sequences.
//
// Memory comes from the rcutils default allocator, fetched anew in each call.
// A sequence keeps all of its `capacity` elements initialised; copy grows the
// output to exactly the input's size and never shrinks it; a failure releases
// what the call took, in reverse order. The image of a response is handled
// only through the sensor_msgs functions.
#include "kestrel_ifaces/srv/detail/camera__functions.h"

#include <assert.h>
#include <string.h>

#include "rcutils/allocator.h"
#include "sensor_msgs/msg/detail/image__functions.h"

#define PUBLIC ROSIDL_GENERATOR_C_PUBLIC_kestrel_ifaces

// CREATE_FUNCTIONS(MSG, PUBLIC) defines MSG##__create (a zero-filled,
// initialised message, or NULL) and MSG##__destroy (finalise unless NULL,
// then release the pointer in every case).
#define CREATE_FUNCTIONS(MSG, PUBLIC)                                   \
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

// SEQUENCE_FUNCTIONS(MSG, PUBLIC) defines the six MSG##__Sequence__ functions
// from the message functions of MSG.
//
// These two macros are private helpers of this package: it builds on its own,
// against the real ROS 2 packages or the stand-ins, so its helpers live inside
// it. The stand-ins may use their own (compat/common/message_functions.h).
#define SEQUENCE_FUNCTIONS(MSG, PUBLIC)                                                            \
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

// ---------------------------------------------------------------- request

// `angle` has no default: init leaves what the memory holds.
PUBLIC bool kestrel_ifaces__srv__Camera_Request__init(kestrel_ifaces__srv__Camera_Request *msg) {
  return msg != NULL;
}

PUBLIC void kestrel_ifaces__srv__Camera_Request__fini(kestrel_ifaces__srv__Camera_Request *msg) {
  (void)msg;
}

PUBLIC bool kestrel_ifaces__srv__Camera_Request__are_equal(
    const kestrel_ifaces__srv__Camera_Request *lhs,
    const kestrel_ifaces__srv__Camera_Request *rhs) {
  if (!lhs || !rhs) {
    return false;
  }
  return lhs->angle == rhs->angle;
}

PUBLIC bool kestrel_ifaces__srv__Camera_Request__copy(
    const kestrel_ifaces__srv__Camera_Request *input, kestrel_ifaces__srv__Camera_Request *output) {
  if (!input || !output) {
    return false;
  }
  output->angle = input->angle;
  return true;
}

CREATE_FUNCTIONS(kestrel_ifaces__srv__Camera_Request, PUBLIC)
SEQUENCE_FUNCTIONS(kestrel_ifaces__srv__Camera_Request, PUBLIC)

// --------------------------------------------------------------- response

PUBLIC bool kestrel_ifaces__srv__Camera_Response__init(kestrel_ifaces__srv__Camera_Response *msg) {
  if (!msg) {
    return false;
  }
  if (!sensor_msgs__msg__Image__init(&msg->image)) {
    kestrel_ifaces__srv__Camera_Response__fini(msg);
    return false;
  }
  return true;
}

PUBLIC void kestrel_ifaces__srv__Camera_Response__fini(kestrel_ifaces__srv__Camera_Response *msg) {
  if (!msg) {
    return;
  }
  sensor_msgs__msg__Image__fini(&msg->image);
}

PUBLIC bool kestrel_ifaces__srv__Camera_Response__are_equal(
    const kestrel_ifaces__srv__Camera_Response *lhs,
    const kestrel_ifaces__srv__Camera_Response *rhs) {
  if (!lhs || !rhs) {
    return false;
  }
  return sensor_msgs__msg__Image__are_equal(&lhs->image, &rhs->image);
}

PUBLIC bool kestrel_ifaces__srv__Camera_Response__copy(
    const kestrel_ifaces__srv__Camera_Response *input,
    kestrel_ifaces__srv__Camera_Response *output) {
  if (!input || !output) {
    return false;
  }
  if (input == output) {
    return true;  // a no-op; the image copy is not asked to cope with aliasing
  }
  return sensor_msgs__msg__Image__copy(&input->image, &output->image);
}

CREATE_FUNCTIONS(kestrel_ifaces__srv__Camera_Response, PUBLIC)
SEQUENCE_FUNCTIONS(kestrel_ifaces__srv__Camera_Response, PUBLIC)
