// Functions of builtin_interfaces/msg/Time: init/fini on caller storage,
// create/destroy on the default allocator, copy, comparison, and the same for
// sequences. Results are true on success (or equality); NULL gives false.
#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__FUNCTIONS_H_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__FUNCTIONS_H_

#include <stdbool.h>
#include <stddef.h>

#include "builtin_interfaces/msg/detail/time__struct.h"
#include "builtin_interfaces/msg/rosidl_generator_c__visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

#define BI_PUBLIC ROSIDL_GENERATOR_C_PUBLIC_builtin_interfaces
BI_PUBLIC bool builtin_interfaces__msg__Time__init(builtin_interfaces__msg__Time *msg);
BI_PUBLIC void builtin_interfaces__msg__Time__fini(builtin_interfaces__msg__Time *msg);
BI_PUBLIC builtin_interfaces__msg__Time *builtin_interfaces__msg__Time__create(void);
BI_PUBLIC void builtin_interfaces__msg__Time__destroy(builtin_interfaces__msg__Time *msg);
BI_PUBLIC bool builtin_interfaces__msg__Time__are_equal(const builtin_interfaces__msg__Time *lhs,
                                                        const builtin_interfaces__msg__Time *rhs);
BI_PUBLIC bool builtin_interfaces__msg__Time__copy(const builtin_interfaces__msg__Time *input,
                                                   builtin_interfaces__msg__Time *output);

BI_PUBLIC bool builtin_interfaces__msg__Time__Sequence__init(
    builtin_interfaces__msg__Time__Sequence *array, size_t size);
BI_PUBLIC void builtin_interfaces__msg__Time__Sequence__fini(
    builtin_interfaces__msg__Time__Sequence *array);
BI_PUBLIC builtin_interfaces__msg__Time__Sequence *builtin_interfaces__msg__Time__Sequence__create(
    size_t size);
BI_PUBLIC void builtin_interfaces__msg__Time__Sequence__destroy(
    builtin_interfaces__msg__Time__Sequence *array);
BI_PUBLIC bool builtin_interfaces__msg__Time__Sequence__are_equal(
    const builtin_interfaces__msg__Time__Sequence *lhs,
    const builtin_interfaces__msg__Time__Sequence *rhs);
BI_PUBLIC bool builtin_interfaces__msg__Time__Sequence__copy(
    const builtin_interfaces__msg__Time__Sequence *input,
    builtin_interfaces__msg__Time__Sequence *output);
#undef BI_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__FUNCTIONS_H_
