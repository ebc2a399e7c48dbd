// The callback record behind a CDR message type-support handle: the
// handle's `data` points to one of these. The middleware serializes,
// deserializes and sizes messages of the type through it.
#ifndef ROSIDL_TYPESUPPORT_FASTRTPS_CPP__MESSAGE_TYPE_SUPPORT_H_
#define ROSIDL_TYPESUPPORT_FASTRTPS_CPP__MESSAGE_TYPE_SUPPORT_H_

#include <fastcdr/Cdr.h>

#include <cstddef>
#include <cstdint>

#include "rosidl_runtime_c/message_type_support_struct.h"

// Bounds key written by max_serialized_size: unbounded (size is only a lower
// bound), bounded (size is the maximum) and plain (the in-memory layout is
// the CDR layout, which implies bounded).
#define ROSIDL_TYPESUPPORT_FASTRTPS_UNBOUNDED_TYPE 0x00
#define ROSIDL_TYPESUPPORT_FASTRTPS_BOUNDED_TYPE 0x01
#define ROSIDL_TYPESUPPORT_FASTRTPS_PLAIN_TYPE 0x03

typedef struct message_type_support_callbacks_t {
  const char *message_namespace_;  // e.g. "sensor_msgs::msg"
  const char *message_name_;       // e.g. "Image"
  // Writes the message at the stream's position; false if it is invalid.
  bool (*cdr_serialize)(const void *untyped_ros_message, eprosima::fastcdr::Cdr &cdr);
  // Reads a message from the stream into an initialised message.
  bool (*cdr_deserialize)(eprosima::fastcdr::Cdr &cdr, void *untyped_ros_message);
  // Exact serialized size of the message from alignment 0.
  uint32_t (*get_serialized_size)(const void *untyped_ros_message);
  // Maximum serialized size of the type from alignment 0, with its bounds key.
  size_t (*max_serialized_size)(char &bounds_info);
} message_type_support_callbacks_t;

#endif  // ROSIDL_TYPESUPPORT_FASTRTPS_CPP__MESSAGE_TYPE_SUPPORT_H_
