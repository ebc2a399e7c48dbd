// Loading a recording in the replay-directory format (see README.md): an
// INDEX.txt naming depth (PGM), colour (PPM), accelerometer and audio (dump)
// files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "frames.hpp"

namespace ksim {
namespace {

constexpr int kMaxRaw = 2047;            // larger stored values are taken as "no reading"
constexpr size_t kMaxHeader = 4096;      // bytes of a Netpbm header, comments included
constexpr size_t kMaxIndex = 1 << 20;    // bytes of INDEX.txt
constexpr size_t kMaxAudio = 64u << 20;  // bytes of one audio dump: 4.4 minutes at 16 kHz

// One INDEX.txt entry: `d-<seconds>-<timestamp>.pgm` and the like.
struct Entry {
  char kind;  // 'd', 'r' or 'a'
  uint32_t timestamp;
};

// Digits, optionally followed by a point and more digits: "12", "1.5".
bool is_decimal(const std::string &text) {
  const auto digits = [&](size_t from) {
    size_t i = from;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    return i;
  };
  size_t end = digits(0);
  if (end == 0) return false;
  if (end < text.size() && text[end] == '.') {
    const size_t point = end;
    end = digits(point + 1);
    if (end == point + 1) return false;
  }
  return end == text.size();
}

bool parse_name(const std::string &name, Entry *out) {
  if (name.size() < 5 || name[1] != '-' || name.find('/') != std::string::npos) return false;
  const auto dot = name.rfind('.');
  const auto dash = name.rfind('-', dot);
  if (dot == std::string::npos || dash == std::string::npos || dash <= 1) return false;
  const std::string seconds = name.substr(2, dash - 2);
  const std::string stamp = name.substr(dash + 1, dot - dash - 1);
  const std::string ext = name.substr(dot + 1);
  if (!is_decimal(seconds)) return false;
  if (stamp.empty() || stamp.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  const unsigned long long ts = std::strtoull(stamp.c_str(), nullptr, 10);
  if (errno != 0 || ts > UINT32_MAX) return false;
  const char kind = name[0];
  const bool ext_fits = (kind == 'd' && ext == "pgm") || (kind == 'r' && ext == "ppm") ||
                        (kind == 'a' && ext == "dump");
  if (!ext_fits) return false;
  *out = Entry{kind, static_cast<uint32_t>(ts)};
  return true;
}

// Reads the first `limit` bytes (or fewer) of the regular file `path` into
// `bytes`, and its whole length into `size`. Anything but a regular file (a
// directory, a FIFO that would block, a device such as /dev/zero that never
// ends) is refused before anything is read. Returns why it failed, or "".
std::string read_regular(const std::string &path, size_t limit, std::string *bytes, size_t *size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat st;
  std::string problem;
  if (::fstat(fd, &st) != 0) {
    problem = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    problem = "not a regular file";
  } else {
    *size = static_cast<size_t>(st.st_size);
    bytes->resize(std::min(*size, limit));
    size_t done = 0;
    while (done < bytes->size()) {
      const ssize_t n = ::read(fd, &(*bytes)[done], bytes->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) problem = std::strerror(errno);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    bytes->resize(done);  // the file may have shrunk meanwhile
  }
  ::close(fd);
  return problem;
}

// Reads a Netpbm header "<magic> <width> <height> <maxval>" and one white-space
// byte; `at` moves to the first data byte.
bool read_netpbm_header(const std::string &bytes, const char *magic, size_t *at, int *maxval) {
  if (bytes.compare(0, 2, magic) != 0) return false;
  size_t i = 2;
  long fields[3];
  for (long &field : fields) {
    while (i < bytes.size() &&
           (std::isspace(static_cast<unsigned char>(bytes[i])) || bytes[i] == '#')) {
      if (bytes[i] == '#') {
        while (i < bytes.size() && bytes[i] != '\n') ++i;
      } else {
        ++i;
      }
    }
    const size_t start = i;
    while (i < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[i])) && i - start < 6)
      ++i;
    if (i == start) return false;
    field = std::strtol(bytes.substr(start, i - start).c_str(), nullptr, 10);
  }
  if (i >= bytes.size() || !std::isspace(static_cast<unsigned char>(bytes[i]))) return false;
  if (fields[0] != kWidth || fields[1] != kHeight || fields[2] < 1 || fields[2] > 65535)
    return false;
  *at = i + 1;
  *maxval = static_cast<int>(fields[2]);
  return true;
}

std::string load_depth(const std::string &bytes, DepthFrame *out) {
  size_t at = 0;
  int maxval = 0;
  if (!read_netpbm_header(bytes, "P5", &at, &maxval)) return "not a 640 x 480 P5 file";
  if (bytes.size() - at < kDepthBytes) return "too short";
  std::vector<uint16_t> raw(kPixels);
  for (int i = 0; i < kPixels; ++i) {
    const auto lo = static_cast<uint8_t>(bytes[at + 2 * i]),
               hi = static_cast<uint8_t>(bytes[at + 2 * i + 1]);
    const int v = lo | (hi << 8);
    raw[i] = static_cast<uint16_t>(v > kMaxRaw ? kMaxRaw : v);
  }
  *out = make_depth_frame(std::move(raw));
  return "";
}

std::string load_video(const std::string &bytes, std::vector<uint8_t> *out) {
  size_t at = 0;
  int maxval = 0;
  if (!read_netpbm_header(bytes, "P6", &at, &maxval) || maxval != 255)
    return "not a 640 x 480 P6 file with maxval 255";
  if (bytes.size() - at < kVideoBytes) return "too short";
  out->assign(bytes.begin() + at, bytes.begin() + at + kVideoBytes);
  return "";
}

std::string load_audio(const std::string &bytes, std::array<std::vector<int32_t>, 4> *mics) {
  constexpr size_t kFrameBytes = 16;  // four signed 32-bit samples
  if (bytes.size() % kFrameBytes != 0) return "length is not a multiple of 16 bytes";
  for (size_t at = 0; at < bytes.size(); at += kFrameBytes) {
    for (int m = 0; m < 4; ++m) {
      uint32_t v = 0;
      for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<uint8_t>(bytes[at + 4 * m + b]);
      (*mics)[m].push_back(static_cast<int32_t>(v));
    }
  }
  return "";
}

// The accelerometer states recorded between the depth frames, spread over
// the frames: frame k reports the last state recorded before frame k + 1,
// and frames before the first state report that one.
struct TiltEntry {
  size_t depth_frames_before;
  freenect_raw_tilt_state state;
};

std::vector<freenect_raw_tilt_state> tilt_per_frame(const std::vector<TiltEntry> &entries,
                                                    size_t frames) {
  std::vector<freenect_raw_tilt_state> tilt;
  if (entries.empty()) return tilt;
  size_t next = 0;
  for (size_t k = 0; k < std::max<size_t>(frames, 1); ++k) {
    while (next + 1 < entries.size() && entries[next + 1].depth_frames_before <= k + 1) ++next;
    tilt.push_back(entries[next].state);
  }
  return tilt;
}

// The most bytes of a listed file that are read: a frame's header and data
// (later bytes are ignored), or a whole audio dump.
size_t read_limit(char kind) {
  if (kind == 'd') return kMaxHeader + kDepthBytes;
  if (kind == 'r') return kMaxHeader + kVideoBytes;
  return kMaxAudio;
}

}  // namespace

bool load_replay(const std::string &dir, Source *out) {
  std::string index;
  size_t size = 0;
  std::string problem = read_regular(dir + "/INDEX.txt", kMaxIndex, &index, &size);
  if (problem.empty() && size > kMaxIndex) problem = "larger than 1 MiB";
  if (!problem.empty()) {
    out->error = "replay: cannot read " + dir + "/INDEX.txt: " + problem;
    return false;
  }
  std::istringstream lines(index);
  std::string line;
  std::vector<TiltEntry> tilt;
  while (std::getline(lines, line)) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    if (line.empty()) continue;
    Entry entry;
    if (!parse_name(line, &entry)) {
      out->error = "replay: bad entry in INDEX.txt: '" + line + "'";
      return false;
    }
    std::string bytes;
    problem = read_regular(dir + "/" + line, read_limit(entry.kind), &bytes, &size);
    if (!problem.empty()) {
      problem = "cannot read it: " + problem;
    } else if (entry.kind == 'a' && size > kMaxAudio) {
      problem = "larger than 64 MiB";
    } else if (entry.kind == 'd') {
      out->depth.emplace_back();
      problem = load_depth(bytes, &out->depth.back());
      out->depth_timestamps.push_back(entry.timestamp);
    } else if (entry.kind == 'r') {
      out->video.emplace_back();
      problem = load_video(bytes, &out->video.back());
      out->video_timestamps.push_back(entry.timestamp);
    } else if (bytes.size() == sizeof(freenect_raw_tilt_state)) {
      // The driver's own recordings keep the accelerometer state here.
      TiltEntry t{out->depth.size(), {}};
      std::memcpy(&t.state, bytes.data(), sizeof t.state);
      tilt.push_back(t);
    } else {
      problem = load_audio(bytes, &out->audio);
    }
    if (!problem.empty()) {
      out->error = "replay: " + dir + "/" + line + ": " + problem;
      return false;
    }
  }
  out->tilt = tilt_per_frame(tilt, out->depth.size());
  return true;
}

}  // namespace ksim
