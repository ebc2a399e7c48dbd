// camserve and camcall against an independent peer written straight on
// Fast-DDS's API with hand-written CDR (raw_peer.hpp): the bytes on the wire,
// the correlation of requests and replies, and hostile samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "file_helpers.hpp"
#include "harness.hpp"
#include "raw_peer.hpp"
#include "scene.hpp"
#include "service_helpers.hpp"

namespace kt = kestrel::test;
using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::SampleIdentity;
using std::chrono::milliseconds;

namespace {

constexpr auto kMatchTimeout = milliseconds(20000);
constexpr auto kReplyTimeout = milliseconds(5000);  // every request is answered within 5 s

// A 640 × 480 rgb8 picture unlike the simulator's: each pixel its own coordinates.
kt::WireImage pattern_image() {
  kt::WireImage image;
  image.sec = 1700000000;
  image.nanosec = 123456789;
  image.frame_id = "test_frame";
  image.height = 480;
  image.width = 640;
  image.encoding = "rgb8";
  image.step = 1920;
  for (uint32_t v = 0; v < image.height; ++v) {
    for (uint32_t u = 0; u < image.width; ++u) {
      image.data.insert(image.data.end(), {uint8_t(u), uint8_t(v), uint8_t(u ^ v)});
    }
  }
  return image;
}

TEST(PeerClient, CamserveRepliesWithTheSceneToTheReaderItNamed) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  kt::RawPeer client = kt::RawPeer::client();
  ASSERT_TRUE(client.wait_matched(kMatchTimeout));
  SampleIdentity sent = client.write(kt::encode_request(-5), kt::naming(client.reader_guid()));
  std::optional<kt::Received> reply = client.take(kReplyTimeout);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->related.writer_guid(), client.reader_guid());
  EXPECT_EQ(reply->related.sequence_number(), sent.sequence_number());

  std::optional<kt::WireImage> image = kt::decode_response(reply->payload);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->frame_id, "kinect_rgb_optical_frame");
  EXPECT_EQ(image->height, 480u);
  EXPECT_EQ(image->width, 640u);
  EXPECT_EQ(image->encoding, "rgb8");
  EXPECT_EQ(image->is_bigendian, 0);
  EXPECT_EQ(image->step, 1920u);
  ASSERT_EQ(image->data.size(), 921600u);
  int wrong = 0;
  for (int v = 0; v < 480; ++v) {
    for (int u = 0; u < 640; ++u) {
      uint8_t want[3];
      ksim::rgb_tilted(u, v, -5, want);
      wrong += std::memcmp(want, &image->data[3 * (v * 640 + u)], 3) != 0;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(PeerClient, ClientWithoutRelatedGuidIsAnsweredUnderItsWriter) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  kt::RawPeer client = kt::RawPeer::client();
  ASSERT_TRUE(client.wait_matched(kMatchTimeout));
  SampleIdentity sent = client.write(kt::encode_request(0));
  std::optional<kt::Received> reply = client.take(kReplyTimeout);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->related, sent);
}

TEST(PeerClient, RequestsNamingReadersThatNeverComeHoldUpNoOne) {
  // A hundred requests name reply readers that do not exist; a real caller
  // right behind them is still answered within the promised 5 s, and no
  // motor moves for them.
  const int kPhantoms = 100;
  kt::TempDir dir;
  auto server = kt::start_camserve({}, {{"KSIM_TRACE", dir.file("trace")}});
  ASSERT_TRUE(server);
  kt::RawPeer hostile = kt::RawPeer::client();
  ASSERT_TRUE(hostile.wait_matched(kMatchTimeout));
  GUID_t phantom = hostile.reader_guid();
  phantom.guidPrefix.value[0] ^= 0xff;  // a participant nobody runs
  for (int i = 0; i < kPhantoms; ++i) {
    hostile.write(kt::encode_request(-20), kt::naming(phantom));
  }
  ASSERT_TRUE(hostile.wait_acknowledged(kMatchTimeout));
  kt::RunResult call = kt::run_camcall({"--angle", "7", "--timeout", "5"});
  EXPECT_EQ(call.exit_code, 0) << call.err;
  ASSERT_TRUE(server->wait_for_err("request " + std::to_string(kPhantoms) + " of ", kMatchTimeout));
  std::vector<std::string> log = kt::split_lines(server->err_so_far());
  // Each phantom is given up once: for its reader's absence, or, when the
  // real caller's request also waited aside, as the oldest of too many.
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string &line) {
                            return line.find(" given up: ") != std::string::npos;
                          }),
            kPhantoms)
      << server->err_so_far();
  EXPECT_EQ(kt::first_args(kt::read_trace(dir.file("trace")), "freenect_set_tilt_degs"),
            std::vector<std::string>{"7"});
}

TEST(PeerClient, ClientLeavingBeforeItsReplyDoesNoHarm) {
  kt::TempDir dir;
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  {
    kt::RawPeer leaving = kt::RawPeer::client();
    ASSERT_TRUE(leaving.wait_matched(kMatchTimeout));
    leaving.write(kt::encode_request(3), kt::naming(leaving.reader_guid()));
  }
  kt::RunResult call = kt::run_camcall({"--out", dir.file("after.png")});
  EXPECT_EQ(call.exit_code, 0) << call.err;
  EXPECT_TRUE(server->running());
}

TEST(PeerClient, KinectLostMidRequestAnswersWhatWaitsThenExitsOne) {
  // The motor never stops, so the first request stays in hand; the Kinect
  // is unplugged once camserve has all three requests.
  kt::TempDir dir;
  kt::RunOptions opts =
      kt::options({}, {{"KMOTOR_MOVING_READS", "-1"}, {"KMOTOR_LOSE_FILE", dir.file("unplugged")}});
  opts.preload = {MOVING_MOTOR_LIB};
  kt::Process server(CAMSERVE, opts);
  ASSERT_TRUE(server.wait_for_out("Serving", kMatchTimeout)) << server.err_so_far();
  kt::RawPeer client = kt::RawPeer::client();
  ASSERT_TRUE(client.wait_matched(kMatchTimeout));
  std::vector<SampleIdentity> sent;
  for (int16_t angle : {1, 2, 3}) {
    sent.push_back(client.write(kt::encode_request(angle), kt::naming(client.reader_guid())));
  }
  ASSERT_TRUE(client.wait_acknowledged(kMatchTimeout));
  kt::write_file(dir.file("unplugged"), "");
  for (size_t i = 0; i < sent.size(); ++i) {
    std::optional<kt::Received> reply = client.take(kReplyTimeout);
    ASSERT_TRUE(reply) << "reply " << i;
    EXPECT_EQ(reply->related.sequence_number(), sent[i].sequence_number());
    std::optional<kt::WireImage> image = kt::decode_response(reply->payload);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->data.size(), 0u);
  }
  kt::RunResult served = server.wait(kMatchTimeout);
  EXPECT_EQ(served.exit_code, 1);
  EXPECT_NE(served.err.find("camserve: the Kinect is lost"), std::string::npos) << served.err;
}

TEST(PeerClient, HostileRequestsAreDroppedWithALogLineAndServingGoesOn) {
  // The wire pads every payload with zeros to a multiple of 4 bytes, so a
  // request cut inside its angle arrives whole: only cuts before it show.
  struct Case {
    const char *name;
    kt::Bytes payload;
    const char *log;
  };
  const Case cases[] = {
      {"no body", {0, 1, 0, 0}, "malformed CDR"},
      {"half a header", {0, 1}, "malformed CDR"},
      {"parameter-list encapsulation", {0, 3, 0, 0, 7, 0}, "unsupported encapsulation 0x0003"},
      {"XCDR2 encapsulation", {0, 7, 0, 0, 7, 0}, "unsupported encapsulation 0x0007"},
      {"first octet set", {1, 1, 0, 0, 7, 0}, "unsupported encapsulation 0x0101"},
  };
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  kt::RawPeer client = kt::RawPeer::client();
  ASSERT_TRUE(client.wait_matched(kMatchTimeout));
  size_t dropped = 0;
  for (const Case &c : cases) {
    client.write(c.payload, kt::naming(client.reader_guid()));
    ++dropped;
    std::vector<std::string> lines;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((lines = kt::split_lines(server->err_so_far())).size() < dropped &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(milliseconds(10));
    }
    ASSERT_EQ(lines.size(), dropped) << c.name;
    EXPECT_EQ(lines.back().rfind("camserve: dropped a request from ", 0), 0u) << c.name;
    EXPECT_NE(lines.back().find(c.log), std::string::npos) << c.name << ": " << lines.back();
  }
  EXPECT_FALSE(client.take(milliseconds(500))) << "a hostile request was answered";
  SampleIdentity sent = client.write(kt::encode_request(1), kt::naming(client.reader_guid()));
  std::optional<kt::Received> reply = client.take(kReplyTimeout);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->related.sequence_number(), sent.sequence_number());
  EXPECT_TRUE(kt::decode_response(reply->payload));
}

TEST(PeerClient, CamserveAnnouncesItsNodeAndEnclaveAsRos2Does) {
  auto server = kt::start_camserve();
  ASSERT_TRUE(server);
  std::optional<kt::Announcement> seen = kt::read_announcement(
      "ros_discovery_info", "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_", kMatchTimeout);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->user_data["camserve"], "enclave=/;");
  // ParticipantEntitiesInfo, little endian after the 4-byte header: the
  // participant's 24-byte gid, one node (namespace, name), its reader gids,
  // its writer gids; each gid a 16-byte GUID and 8 zeros.
  const kt::Bytes &p = seen->payload;
  const size_t gid = 24, guid_prefix = 12;
  kt::Bytes participant(p.begin() + 4, p.begin() + 4 + gid);
  auto u32 = [&](size_t at) {
    return uint32_t(p[at] | p[at + 1] << 8 | p[at + 2] << 16 | p[at + 3] << 24);
  };
  size_t at = 4 + gid;
  // One reader (the requests); eight writers: the replies, then the seven
  // topics of the node (tests/node checks which).
  const size_t writers = 8;
  ASSERT_EQ(p.size(), at + 4 + 8 + 4 + 12 + 4 + gid + 4 + writers * gid);
  EXPECT_EQ(u32(at), 1u);  // one node
  EXPECT_EQ(u32(at + 4), 2u);
  EXPECT_EQ(std::string(p.begin() + at + 8, p.begin() + at + 10), std::string("/\0", 2));
  EXPECT_EQ(u32(at + 12), 9u);
  EXPECT_EQ(std::string(p.begin() + at + 16, p.begin() + at + 25), std::string("camserve\0", 9));
  at += 28;  // past the name, aligned to 4
  for (size_t list = 0, count = 1; list < 2; ++list, at += 4 + count * gid, count = writers) {
    EXPECT_EQ(u32(at), count) << "endpoints in list " << list;
    kt::Bytes endpoint(p.begin() + at + 4, p.begin() + at + 4 + gid);  // the service's
    EXPECT_TRUE(std::equal(endpoint.begin(), endpoint.begin() + guid_prefix, participant.begin()));
    EXPECT_EQ(kt::Bytes(endpoint.begin() + 16, endpoint.end()), kt::Bytes(8, 0));
    // Entity kinds: user reader then user writer, both without key.
    EXPECT_EQ(endpoint[15], list == 0 ? 0x04 : 0x03);
  }
}

// The test server side: camcall's request as it arrives, and what camcall
// makes of the replies the test sends.
struct ServerCall {
  kt::RawPeer server = kt::RawPeer::server();
  kt::TempDir dir;
  std::unique_ptr<kt::Process> camcall;
  kt::Received request;

  explicit ServerCall(std::vector<std::string> args) {
    args.insert(args.end(), {"--out", dir.file("out.png")});
    camcall = std::make_unique<kt::Process>(CAMCALL, kt::options(args));
    std::optional<kt::Received> taken = server.take(milliseconds(20000));
    if (!taken) throw std::runtime_error("camcall sent no request");
    request = *taken;
    // camcall sends once its own endpoints are matched; the reply writer
    // here may learn of camcall's reader a moment later, and a reply
    // written before that reaches nobody.
    if (!server.wait_matched(kMatchTimeout)) throw std::runtime_error("camcall's reader unmatched");
  }
};

TEST(PeerServer, CamcallSendsItsAngleAndWritesTheReplysImage) {
  ServerCall call({"--angle", "-300"});
  // The wire pads the 6 bytes to a multiple of 4.
  kt::Bytes angle = kt::encode_request(-300);
  call.request.payload.resize(std::max(call.request.payload.size(), angle.size()));
  EXPECT_EQ(kt::Bytes(call.request.payload.begin(), call.request.payload.begin() + angle.size()),
            angle);
  EXPECT_LE(call.request.payload.size(), 8u);
  // camcall names its reply reader, which the test server's writer reaches.
  SampleIdentity reply_to = kt::reply_identity(call.request);
  EXPECT_NE(reply_to.writer_guid(), call.request.identity.writer_guid());
  call.server.write(kt::encode_response(pattern_image()), reply_to);
  kt::RunResult result = call.camcall->wait(milliseconds(20000));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, 60),
            "640x480 rgb8 stamp 1700000000.123456789 frame test_frame rou");
  kt::Image image = kt::load_png(call.dir.file("out.png"));
  ASSERT_EQ(image.width, 640);
  EXPECT_EQ(image.at(300, 200), (kt::Image::Pixel{uint8_t(300), 200, uint8_t(300 ^ 200)}));
}

TEST(PeerServer, CamcallTakesOnlyTheReplyToItsOwnRequest) {
  ServerCall call({});
  SampleIdentity reply_to = kt::reply_identity(call.request);
  SampleIdentity other_request = reply_to;
  other_request.sequence_number(reply_to.sequence_number() + 1);
  SampleIdentity other_client = reply_to;
  other_client.writer_guid(call.server.writer_guid());
  kt::WireImage wrong = pattern_image();
  wrong.frame_id = "not_yours";
  call.server.write(kt::encode_response(wrong), other_request);
  call.server.write(kt::encode_response(wrong), other_client);
  call.server.write(kt::encode_response(pattern_image()), reply_to);
  kt::RunResult result = call.camcall->wait(milliseconds(20000));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("frame test_frame"), std::string::npos) << result.out;
}

TEST(PeerServer, CamcallRefusesEmptyAndHostileReplies) {
  struct Case {
    const char *name;
    kt::Bytes reply;
    std::string err;
  };
  kt::WireImage short_data = pattern_image();
  short_data.data.resize(100);
  kt::WireImage bad_step = pattern_image();
  bad_step.step = 10;
  kt::Bytes truncated = kt::encode_response(pattern_image());
  truncated.resize(truncated.size() / 2);
  const Case cases[] = {
      {"empty image", kt::encode_response({}), "camcall: /camera answered with an empty image\n"},
      {"data shorter than its rows", kt::encode_response(short_data),
       "camcall: the image's step or data are too short for 640x480 rgb8\n"},
      {"step shorter than a row", kt::encode_response(bad_step),
       "camcall: the image's step or data are too short for 640x480 rgb8\n"},
      {"truncated CDR", truncated, "camcall: dropped a malformed reply: malformed CDR"},
  };
  for (const Case &c : cases) {
    // Long enough for discovery under a sanitizer; the truncated reply
    // makes camcall wait out all of it.
    ServerCall call({"--timeout", "8"});
    call.server.write(c.reply, kt::reply_identity(call.request));
    kt::RunResult result = call.camcall->wait(milliseconds(20000));
    EXPECT_EQ(result.exit_code, 1) << c.name;
    EXPECT_EQ(result.err.substr(0, c.err.size()), c.err) << c.name;
    EXPECT_FALSE(kt::file_exists(call.dir.file("out.png"))) << c.name;
  }
}

}  // namespace
