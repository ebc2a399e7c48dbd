// Functions of sensor_msgs/msg/Image: init/fini on caller storage,
// create/destroy on the default allocator, copy, comparison, and the same for
// sequences. Results are true on success (or equality); NULL gives false.
#ifndef SENSOR_MSGS__MSG__DETAIL__IMAGE__FUNCTIONS_H_
#define SENSOR_MSGS__MSG__DETAIL__IMAGE__FUNCTIONS_H_

#include <stdbool.h>
#include <stddef.h>

#include "sensor_msgs/msg/detail/image__struct.h"
#include "sensor_msgs/msg/rosidl_generator_c__visibility_control.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SM_PUBLIC ROSIDL_GENERATOR_C_PUBLIC_sensor_msgs
SM_PUBLIC bool sensor_msgs__msg__Image__init(sensor_msgs__msg__Image *msg);
SM_PUBLIC void sensor_msgs__msg__Image__fini(sensor_msgs__msg__Image *msg);
SM_PUBLIC sensor_msgs__msg__Image *sensor_msgs__msg__Image__create(void);
SM_PUBLIC void sensor_msgs__msg__Image__destroy(sensor_msgs__msg__Image *msg);
SM_PUBLIC bool sensor_msgs__msg__Image__are_equal(const sensor_msgs__msg__Image *lhs,
                                                  const sensor_msgs__msg__Image *rhs);
SM_PUBLIC bool sensor_msgs__msg__Image__copy(const sensor_msgs__msg__Image *input,
                                             sensor_msgs__msg__Image *output);

SM_PUBLIC bool sensor_msgs__msg__Image__Sequence__init(sensor_msgs__msg__Image__Sequence *array,
                                                       size_t size);
SM_PUBLIC void sensor_msgs__msg__Image__Sequence__fini(sensor_msgs__msg__Image__Sequence *array);
SM_PUBLIC sensor_msgs__msg__Image__Sequence *sensor_msgs__msg__Image__Sequence__create(size_t size);
SM_PUBLIC void sensor_msgs__msg__Image__Sequence__destroy(sensor_msgs__msg__Image__Sequence *array);
SM_PUBLIC bool sensor_msgs__msg__Image__Sequence__are_equal(
    const sensor_msgs__msg__Image__Sequence *lhs, const sensor_msgs__msg__Image__Sequence *rhs);
SM_PUBLIC bool sensor_msgs__msg__Image__Sequence__copy(
    const sensor_msgs__msg__Image__Sequence *input, sensor_msgs__msg__Image__Sequence *output);
#undef SM_PUBLIC

#ifdef __cplusplus
}
#endif

#endif  // SENSOR_MSGS__MSG__DETAIL__IMAGE__FUNCTIONS_H_
