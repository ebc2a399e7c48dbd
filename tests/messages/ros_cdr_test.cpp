// The messages' CDR codec: the bytes on the wire, the size the middleware is
// told, data produced in place, and every malformed payload (truncated,
// oversized lengths, bad header or values) rejected with a reason.
#include <fastdds/rtps/common/SerializedPayload.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "message_topic_type.hpp"
#include "ros_cdr.hpp"
#include "sample_messages.hpp"

namespace kt = kestrel::test;
namespace msgs = kestrel::msgs;

namespace {

using Bytes = std::vector<uint8_t>;

template <class Msg>
std::string decode_error(const Bytes &payload) {
  Msg msg;
  std::string error;
  const bool ok = msgs::decode_cdr(payload.data(), payload.size(), msg, error);
  return ok ? "" : error.empty() ? "(failed with no reason)" : error;
}

void put_u32(Bytes &payload, size_t offset, uint32_t value) {
  std::memcpy(payload.data() + offset, &value, sizeof value);
}

// Calls `check` with each sample message.
template <class Check>
void for_each_sample(Check check) {
  std::apply([&](const auto &...msg) { (check(msg), ...); }, kt::all_samples());
}

TEST(Codec, every_message_round_trips_with_the_size_it_announces) {
  for_each_sample([](const auto &msg) {
    using Msg = std::decay_t<decltype(msg)>;
    SCOPED_TRACE(msgs::ros_type_name<Msg>());
    const Bytes payload = msgs::encode_cdr(msg);
    EXPECT_EQ(payload.size(), msgs::cdr_size(msg));
    ASSERT_GE(payload.size(), 4u);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 4), (Bytes{0, 1, 0, 0}));

    // Decoded and written again, the bytes are the same; padding after the
    // message (which a middleware may add) is ignored.
    Bytes padded = payload;
    padded.insert(padded.end(), {0, 0, 0});
    Msg decoded;
    std::string error;
    ASSERT_TRUE(msgs::decode_cdr(padded.data(), padded.size(), decoded, error)) << error;
    EXPECT_EQ(msgs::encode_cdr(decoded), payload);
  });
}

TEST(Codec, fields_are_aligned_to_their_size_after_the_header) {
  // Header: sec, nanosec, then the string's length counting its zero.
  const Bytes header = msgs::encode_cdr(msgs::Header{{1, 2}, "ab"});
  EXPECT_EQ(header, (Bytes{0, 1, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}));

  // Imu: the 15-byte header is padded to 16, where the first double starts
  // (payload offset 20).
  msgs::Imu imu;
  imu.header = {{1, 2}, "ab"};
  imu.orientation.x = 0.75;
  const Bytes payload = msgs::encode_cdr(imu);
  EXPECT_EQ(payload[19], 0);
  double x = 0;
  std::memcpy(&x, payload.data() + 20, sizeof x);
  EXPECT_EQ(x, 0.75);
  EXPECT_EQ(payload.size(), 20u + 4 * 8 + 9 * 8 + 3 * 8 + 9 * 8 + 3 * 8 + 9 * 8);

  // CameraInfo with no coefficients: K still starts on an 8-byte boundary.
  msgs::CameraInfo info;
  info.header.frame_id = "";  // body: 8 + 4 + 1, height 16, width 20, model 24 + 4 + 1
  info.k[0] = 575.8;
  const Bytes camera = msgs::encode_cdr(info);
  double k0 = 0;
  std::memcpy(&k0, camera.data() + 4 + 40, sizeof k0);  // d's count at 32, K at 40
  EXPECT_EQ(k0, 575.8);
}

TEST(Codec, produced_data_is_written_once_straight_into_the_payload) {
  msgs::PointCloud2 cloud = kt::sample_cloud();
  const Bytes expected = msgs::encode_cdr(cloud);
  const size_t data_offset = expected.size() - 1 - cloud.data.bytes.size();  // is_dense follows
  const Bytes points = cloud.data.bytes;
  int calls = 0;
  uint8_t *written_at = nullptr;
  cloud.data = {};
  cloud.data.produced_size = points.size();
  cloud.data.produce = [&](uint8_t *out) {
    ++calls;
    written_at = out;
    std::memcpy(out, points.data(), points.size());
  };
  EXPECT_EQ(msgs::cdr_size(cloud), expected.size());

  Bytes payload(expected.size());
  EXPECT_EQ(msgs::encode_cdr(cloud, payload.data(), payload.size()), expected.size());
  EXPECT_EQ(payload, expected);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(written_at, payload.data() + data_offset);

  // A payload too small for the data: nothing is produced, nothing written.
  calls = 0;
  EXPECT_EQ(msgs::encode_cdr(cloud, payload.data(), expected.size() - 2), 0u);
  EXPECT_EQ(calls, 0);

  // A borrowed frame is copied once from where it lies.
  msgs::Image image = kt::sample_image();
  const Bytes with_owned = msgs::encode_cdr(image);
  const Bytes frame = image.data.bytes;
  image.data = msgs::borrowed(frame.data(), frame.size());
  EXPECT_EQ(msgs::encode_cdr(image), with_owned);
}

TEST(Codec, every_truncated_payload_is_rejected_with_a_reason) {
  for_each_sample([](const auto &msg) {
    using Msg = std::decay_t<decltype(msg)>;
    SCOPED_TRACE(msgs::ros_type_name<Msg>());
    const Bytes payload = msgs::encode_cdr(msg);
    for (size_t size = 0; size < payload.size(); ++size) {
      // A copy of exactly `size` bytes, so that AddressSanitizer sees any read beyond.
      const Bytes prefix(payload.begin(), payload.begin() + size);
      EXPECT_NE(decode_error<Msg>(prefix), "") << size << " bytes";
    }
  });
  Bytes header = msgs::encode_cdr(kt::sample_header());
  header.resize(20);
  EXPECT_EQ(decode_error<msgs::Header>(header),
            "field 'frame_id' gives 25 bytes but only 4 bytes are left");
  EXPECT_EQ(decode_error<msgs::Header>(Bytes{0, 1, 0, 0, 1, 0}),
            "payload of 6 bytes ends in field 'stamp.sec'");
}

TEST(Codec, oversized_lengths_and_counts_are_rejected_before_anything_is_allocated) {
  constexpr uint32_t kHuge = 0xfffffff0;
  struct Case {
    const char *what;
    Bytes payload;
    size_t length_at;  // payload offset of the uint32 length
    std::string (*decode)(const Bytes &);
    std::string error;
  };
  const Bytes image = msgs::encode_cdr(kt::sample_image());
  const Bytes cloud = msgs::encode_cdr(kt::sample_cloud());
  const Bytes info = msgs::encode_cdr(kt::sample_camera_info());
  const Bytes tf = msgs::encode_cdr(kt::sample_tf());
  const std::string huge = std::to_string(kHuge);
  const Case cases[] = {
      {"frame_id", msgs::encode_cdr(kt::sample_header()), 12, decode_error<msgs::Header>,
       "field 'frame_id' gives " + huge + " bytes but only 25 bytes are left"},
      {"image data", image, image.size() - 18 - 4, decode_error<msgs::Image>,
       "field 'data' gives " + huge + " bytes but only 18 bytes are left"},
      {"cloud data", cloud, cloud.size() - 1 - 64 - 4, decode_error<msgs::PointCloud2>,
       "field 'data' gives " + huge + " bytes but only 65 bytes are left"},
      // CameraInfo: header 8 + 4 + 27 → 39, height 40, width 44, model 48 + 4 + 10 → 62, d at 64.
      {"coefficients", info, 4 + 64, decode_error<msgs::CameraInfo>,
       "field 'd' gives " + huge + " elements but only " + std::to_string(info.size() - 72) +
           " bytes are left"},
      {"transforms", tf, 4, decode_error<msgs::TFMessage>,
       "field 'transforms' gives " + huge + " elements but only " + std::to_string(tf.size() - 8) +
           " bytes are left"},
  };
  for (const Case &c : cases) {
    Bytes payload = c.payload;
    put_u32(payload, c.length_at, kHuge);
    EXPECT_EQ(c.decode(payload), c.error) << c.what;
  }

  // Any word of any message set to a huge value: never a crash, and either a
  // reason or a message (where the word was a plain number).
  for_each_sample([&](const auto &msg) {
    using Msg = std::decay_t<decltype(msg)>;
    const Bytes payload = msgs::encode_cdr(msg);
    for (size_t at = 4; at + 4 <= payload.size(); at += 4) {
      Bytes patched = payload;
      put_u32(patched, at, kHuge);
      Msg decoded;
      std::string error;
      if (!msgs::decode_cdr(patched.data(), patched.size(), decoded, error)) {
        EXPECT_NE(error, "") << msgs::ros_type_name<Msg>() << " at " << at;
      }
    }
  });
}

TEST(Codec, bad_headers_and_values_are_rejected_and_big_endian_is_read) {
  EXPECT_EQ(decode_error<msgs::Time>({}), "payload of 0 bytes has no encapsulation header");
  EXPECT_EQ(decode_error<msgs::Time>({0, 1, 0}), "payload of 3 bytes has no encapsulation header");
  EXPECT_EQ(decode_error<msgs::Time>({0, 3, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}),
            "encapsulation 00 03 is not plain CDR");
  Bytes roi = msgs::encode_cdr(kt::sample_roi());
  roi.back() = 2;  // do_rectify
  EXPECT_NE(decode_error<msgs::RegionOfInterest>(roi).find("field 'do_rectify'"),
            std::string::npos);

  const Bytes big_endian = {0, 0, 0, 0, 0xff, 0xff, 0xff, 0xfe, 0, 0, 1, 0, 0, 0, 0, 2, 'a', 0};
  msgs::Header header;
  std::string error;
  ASSERT_TRUE(msgs::decode_cdr(big_endian.data(), big_endian.size(), header, error)) << error;
  EXPECT_EQ(header.stamp.sec, -2);
  EXPECT_EQ(header.stamp.nanosec, 256u);
  EXPECT_EQ(header.frame_id, "a");
}

TEST(TopicType, writes_the_codecs_payload_and_reports_what_it_cannot_read) {
  msgs::MessageTopicType<msgs::CameraInfo> type;
  EXPECT_STREQ(type.getName(), "sensor_msgs::msg::dds_::CameraInfo_");
  EXPECT_STREQ(msgs::MessageTopicType<msgs::TFMessage>().getName(),
               "tf2_msgs::msg::dds_::TFMessage_");

  msgs::CameraInfo info = kt::sample_camera_info();
  eprosima::fastrtps::rtps::SerializedPayload_t payload(type.getSerializedSizeProvider(&info)());
  ASSERT_TRUE(type.serialize(&info, &payload));
  EXPECT_EQ(Bytes(payload.data, payload.data + payload.length), msgs::encode_cdr(info));

  auto *received = static_cast<msgs::Received<msgs::CameraInfo> *>(type.createData());
  ASSERT_TRUE(type.deserialize(&payload, received));
  EXPECT_EQ(received->error, "");
  EXPECT_EQ(received->payload_bytes, payload.length);
  EXPECT_EQ(msgs::encode_cdr(received->msg), msgs::encode_cdr(info));

  payload.length = 30;  // inside the frame id
  ASSERT_TRUE(type.deserialize(&payload, received));
  EXPECT_EQ(received->error, "field 'header.frame_id' gives 27 bytes but only 14 bytes are left");
  type.deleteData(received);
}

}  // namespace
