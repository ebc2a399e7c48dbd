// The map a dispatch handle carries; the C and the C++ dispatch share it.
#ifndef ROSIDL_TYPESUPPORT_C__TYPE_SUPPORT_MAP_H_
#define ROSIDL_TYPESUPPORT_C__TYPE_SUPPORT_MAP_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// What a dispatch handle's `data` points to: for each of `size` type-support
// families, its identifier, the entry symbol that yields the family's handle,
// and a slot in which the dispatch keeps the family library once loaded.
// Entry i of the three lists belongs to the same family.
typedef struct type_support_map_t {
  const size_t size;
  // Package whose family libraries are named lib<package_name>__<identifier>.so.
  const char *package_name;
  const char *const *typesupport_identifier;
  const char *const *symbol_name;
  // Owned by the dispatch: NULL until the family's library is loaded.
  void **data;
} type_support_map_t;

#ifdef __cplusplus
}
#endif

#endif  // ROSIDL_TYPESUPPORT_C__TYPE_SUPPORT_MAP_H_
