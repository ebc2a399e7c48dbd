// Functions of the two Camera messages: init/fini on caller storage,
// create/destroy on the default allocator, copy, comparison, and the same for
// their sequences. Results are true on success (or equality); NULL arguments
// give false.
#ifndef KESTREL_IFACES__SRV__DETAIL__CAMERA__FUNCTIONS_H_
#define KESTREL_IFACES__SRV__DETAIL__CAMERA__FUNCTIONS_H_

#include <stdbool.h>
#include <stddef.h>

#include "kestrel_ifaces/msg/rosidl_generator_c__visibility_control.h"
#include "kestrel_ifaces/srv/detail/camera__struct.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KI_PUBLIC ROSIDL_GENERATOR_C_PUBLIC_kestrel_ifaces

// Camera_Request
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__init(kestrel_ifaces__srv__Camera_Request *msg);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Request__fini(kestrel_ifaces__srv__Camera_Request *msg);
KI_PUBLIC kestrel_ifaces__srv__Camera_Request *kestrel_ifaces__srv__Camera_Request__create(void);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Request__destroy(
    kestrel_ifaces__srv__Camera_Request *msg);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__are_equal(
    const kestrel_ifaces__srv__Camera_Request *lhs, const kestrel_ifaces__srv__Camera_Request *rhs);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__copy(
    const kestrel_ifaces__srv__Camera_Request *input, kestrel_ifaces__srv__Camera_Request *output);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__Sequence__init(
    kestrel_ifaces__srv__Camera_Request__Sequence *array, size_t size);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Request__Sequence__fini(
    kestrel_ifaces__srv__Camera_Request__Sequence *array);
KI_PUBLIC kestrel_ifaces__srv__Camera_Request__Sequence *
kestrel_ifaces__srv__Camera_Request__Sequence__create(size_t size);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Request__Sequence__destroy(
    kestrel_ifaces__srv__Camera_Request__Sequence *array);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__Sequence__are_equal(
    const kestrel_ifaces__srv__Camera_Request__Sequence *lhs,
    const kestrel_ifaces__srv__Camera_Request__Sequence *rhs);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Request__Sequence__copy(
    const kestrel_ifaces__srv__Camera_Request__Sequence *input,
    kestrel_ifaces__srv__Camera_Request__Sequence *output);

// Camera_Response
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__init(
    kestrel_ifaces__srv__Camera_Response *msg);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Response__fini(
    kestrel_ifaces__srv__Camera_Response *msg);
KI_PUBLIC kestrel_ifaces__srv__Camera_Response *kestrel_ifaces__srv__Camera_Response__create(void);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Response__destroy(
    kestrel_ifaces__srv__Camera_Response *msg);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__are_equal(
    const kestrel_ifaces__srv__Camera_Response *lhs,
    const kestrel_ifaces__srv__Camera_Response *rhs);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__copy(
    const kestrel_ifaces__srv__Camera_Response *input,
    kestrel_ifaces__srv__Camera_Response *output);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__Sequence__init(
    kestrel_ifaces__srv__Camera_Response__Sequence *array, size_t size);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Response__Sequence__fini(
    kestrel_ifaces__srv__Camera_Response__Sequence *array);
KI_PUBLIC kestrel_ifaces__srv__Camera_Response__Sequence *
kestrel_ifaces__srv__Camera_Response__Sequence__create(size_t size);
KI_PUBLIC void kestrel_ifaces__srv__Camera_Response__Sequence__destroy(
    kestrel_ifaces__srv__Camera_Response__Sequence *array);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__Sequence__are_equal(
    const kestrel_ifaces__srv__Camera_Response__Sequence *lhs,
    const kestrel_ifaces__srv__Camera_Response__Sequence *rhs);
KI_PUBLIC bool kestrel_ifaces__srv__Camera_Response__Sequence__copy(
    const kestrel_ifaces__srv__Camera_Response__Sequence *input,
    kestrel_ifaces__srv__Camera_Response__Sequence *output);

#undef KI_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // KESTREL_IFACES__SRV__DETAIL__CAMERA__FUNCTIONS_H_
