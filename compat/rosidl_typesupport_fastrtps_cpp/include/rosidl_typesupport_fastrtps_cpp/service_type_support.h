// The record behind a CDR service type-support handle: the handle's `data`
// points to one of these, which leads to the request's and the response's
// message handles.
#ifndef ROSIDL_TYPESUPPORT_FASTRTPS_CPP__SERVICE_TYPE_SUPPORT_H_
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP__SERVICE_TYPE_SUPPORT_H_

#include "rosidl_runtime_c/message_type_support_struct.h"
#include "rosidl_runtime_c/service_type_support_struct.h"

typedef struct service_type_support_callbacks_t {
  const char *service_namespace_;  // e.g. "kestrel_ifaces::srv"
  const char *service_name_;       // e.g. "Camera"
  const rosidl_message_type_support_t *request_members_;
  const rosidl_message_type_support_t *response_members_;
} service_type_support_callbacks_t;

#endif  // ROSIDL_TYPESUPPORT_FASTRTPS_CPP__SERVICE_TYPE_SUPPORT_H_
