// Functions of std_msgs/msg/Header: init/fini on caller storage,
// create/destroy on the default allocator, copy, comparison, and the same for
// sequences. Results are true on success (or equality); NULL gives false.
#ifndef STD_MSGS__MSG__DETAIL__HEADER__FUNCTIONS_H_
#define STD_MSGS__MSG__DETAIL__HEADER__FUNCTIONS_H_

#include <stdbool.h>
#include <stddef.h>

#include "std_msgs/msg/detail/header__struct.h"
#include "std_msgs/msg/rosidl_generator_c__visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SM_PUBLIC ROSIDL_GENERATOR_C_PUBLIC_std_msgs
SM_PUBLIC bool std_msgs__msg__Header__init(std_msgs__msg__Header *msg);
SM_PUBLIC void std_msgs__msg__Header__fini(std_msgs__msg__Header *msg);
SM_PUBLIC std_msgs__msg__Header *std_msgs__msg__Header__create(void);
SM_PUBLIC void std_msgs__msg__Header__destroy(std_msgs__msg__Header *msg);
SM_PUBLIC bool std_msgs__msg__Header__are_equal(const std_msgs__msg__Header *lhs,
                                                const std_msgs__msg__Header *rhs);
SM_PUBLIC bool std_msgs__msg__Header__copy(const std_msgs__msg__Header *input,
                                           std_msgs__msg__Header *output);

SM_PUBLIC bool std_msgs__msg__Header__Sequence__init(std_msgs__msg__Header__Sequence *array,
                                                     size_t size);
SM_PUBLIC void std_msgs__msg__Header__Sequence__fini(std_msgs__msg__Header__Sequence *array);
SM_PUBLIC std_msgs__msg__Header__Sequence *std_msgs__msg__Header__Sequence__create(size_t size);
SM_PUBLIC void std_msgs__msg__Header__Sequence__destroy(std_msgs__msg__Header__Sequence *array);
SM_PUBLIC bool std_msgs__msg__Header__Sequence__are_equal(
    const std_msgs__msg__Header__Sequence *lhs, const std_msgs__msg__Header__Sequence *rhs);
SM_PUBLIC bool std_msgs__msg__Header__Sequence__copy(const std_msgs__msg__Header__Sequence *input,
                                                     std_msgs__msg__Header__Sequence *output);
#undef SM_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // STD_MSGS__MSG__DETAIL__HEADER__FUNCTIONS_H_
