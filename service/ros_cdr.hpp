// The CDR codec of the messages in ros_messages.hpp, on Fast-CDR, as a ROS 2
// middleware puts them on the wire: a payload is the 4-byte encapsulation
// header (00 01 00 00: plain CDR, little endian) and the message's fields,
// each primitive aligned to its size from the end of that header.
//
// Every function is a template instantiated once per message type in
// ros_cdr.cpp: Time, Header, Image, RegionOfInterest, CameraInfo,
// PointField, PointCloud2, Vector3, Quaternion, Imu, Transform,
// TransformStamped and TFMessage (any other type fails to link).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ros_messages.hpp"

namespace kestrel::msgs {

constexpr size_t kEncapsulationBytes = 4;  // representation id (2) + options (2)

// "sensor_msgs/msg/CameraInfo"
template <class Msg>
const char *ros_type_name();
// "sensor_msgs::msg::dds_::CameraInfo_", the name DDS peers match on.
template <class Msg>
const char *dds_type_name();

// Bytes of the whole payload, header included.
template <class Msg>
size_t cdr_size(const Msg &msg);

// Writes the whole payload into `payload`; the bytes written (cdr_size), or
// 0 when `capacity` is too small or a string or sequence is too long for its
// uint32 length. A ByteData with `produce` set is produced in place.
template <class Msg>
size_t encode_cdr(const Msg &msg, uint8_t *payload, size_t capacity);
// The same into a new buffer (for tests and files).
template <class Msg>
std::vector<uint8_t> encode_cdr(const Msg &msg);

// Reads a whole payload (plain CDR of either byte order) into `msg`, every
// field replaced. Every length and count is checked against the bytes left
// before anything is allocated for it; bytes after the message (alignment
// padding) are ignored. False with the reason in `error` for a payload that
// is not such a message; `msg` then holds what was read so far.
template <class Msg>
bool decode_cdr(const uint8_t *payload, size_t size, Msg &msg, std::string &error);

}  // namespace kestrel::msgs
