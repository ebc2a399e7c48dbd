// File helpers for the tests of the tools that write files (alignsnap,
// quadtape): whole-file reads, little- and big-endian fields, and a small
// tmpfs that runs out of space on purpose.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestrel::test {

inline std::vector<uint8_t> read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::string &path, const std::string &contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

inline bool file_exists(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The file's length in bytes, -1 if it does not exist.
inline long long file_size(const std::string &path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

inline uint32_t le32(const uint8_t *p) {
  return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline uint16_t be16(const uint8_t *p) {
  return (uint16_t)(p[0] << 8 | p[1]);
}

// A tmpfs of `size` (mount's size syntax, e.g. "700k") mounted on a folder of
// its own, unmounted on destruction. Mounting needs privileges: check
// mounted() and skip the test when it is false (error() says why).
struct SmallDisk {
  SmallDisk(const std::string &where, const std::string &size) : path(where) {
    ::mkdir(path.c_str(), 0755);
    const std::string options = "size=" + size;
    if (::mount("kestrel-test", path.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      ok = true;
    } else {
      why = std::strerror(errno);
    }
  }
  ~SmallDisk() {
    if (ok) ::umount2(path.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk &) = delete;
  SmallDisk &operator=(const SmallDisk &) = delete;

  bool mounted() const { return ok; }
  std::string error() const { return "cannot mount a small tmpfs (" + why + ")"; }
  std::string file(const std::string &name) const { return path + "/" + name; }

  std::string path;

 private:
  bool ok = false;
  std::string why;
};

}  // namespace kestrel::test
