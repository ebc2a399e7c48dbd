// C structure of builtin_interfaces/msg/Time.
#ifndef BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_H_
#define BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct builtin_interfaces__msg__Time {
  int32_t sec;       // seconds, may be negative
  uint32_t nanosec;  // nanoseconds within the second, below 1e9
} builtin_interfaces__msg__Time;

typedef struct builtin_interfaces__msg__Time__Sequence {
  builtin_interfaces__msg__Time *data;
  size_t size;      // valid elements
  size_t capacity;  // allocated and initialised elements
} builtin_interfaces__msg__Time__Sequence;

#ifdef __cplusplus
}
#endif

#endif  // BUILTIN_INTERFACES__MSG__DETAIL__TIME__STRUCT_H_
