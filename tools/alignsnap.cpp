// alignsnap: dumps one colour frame and three depth frames of the first Kinect
// to Netpbm files in the working directory, so that raw depth, depth in
// millimetres and depth registered to the colour image can be compared.
//
//   registration_test_rgb.ppm               P6, the RGB frame
//   registration_test_depth_raw.pgm         P5 16-bit, raw 11-bit depth
//   registration_test_depth_registered.pgm  P5 16-bit, mm aligned to the RGB image
//   registration_test_depth_mm.pgm          P5 16-bit, mm
//
// Each file is written and closed before the next frame is fetched. Errors go
// to standard error and end the program with status 1.

#include <fcntl.h>
#include <libfreenect.h>
#include <libfreenect_sync.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------- state

constexpr uint32_t kWidth = 640;   // frame width, pixels
constexpr uint32_t kHeight = 480;  // frame height, pixels
constexpr int kDevice = 0;         // the first Kinect
constexpr uint32_t kChunk = 4096;  // depth samples byte-swapped per write

// ---------------------------------------------------------------- helpers

// Makes sure descriptors 0, 1 and 2 are open, on /dev/null where they were
// closed: otherwise a dump would get one of them and the file names or error
// messages would be written into it.
static void keep_std_descriptors_open() {
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
}

// Opens `path` for writing (created or truncated) and prints its name; a file
// that cannot be opened ends the program.
static FILE *open_dump(const char *path) {
  FILE *stream = fopen(path, "w");
  if (!stream) {
    fprintf(stderr, "Error: Cannot open file [%s]\n", path);
    exit(1);
  }
  puts(path);
  return stream;
}

// Closes a dump and ends the program if any write to it, or the close itself,
// failed; the incomplete file is removed so that no truncated dump is left.
static void close_dump(FILE *stream, const char *path) {
  const bool write_failed = ferror(stream) != 0;
  if (fclose(stream) != 0 || write_failed) {
    fprintf(stderr, "Error: Cannot write file [%s]\n", path);
    remove(path);
    exit(1);
  }
}

// Writes an RGB frame as a binary PPM: header, then the bytes as they are.
static void dump_rgb(FILE *stream, const void *data, uint32_t width, uint32_t height) {
  fprintf(stream, "P6 %u %u 255\n", width, height);
  fwrite(data, width * height * 3, 1, stream);
}

// Writes a 16-bit depth frame as a binary PGM. PGM samples above 255 are
// stored most significant byte first, whatever the host order.
static void dump_depth(FILE *stream, const void *data, uint32_t width, uint32_t height) {
  fprintf(stream, "P5 %u %u 65535\n", width, height);
  const uint16_t *samples = (const uint16_t *)data;
  const uint32_t count = width * height;
  uint8_t bytes[kChunk * 2];
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = count - done < kChunk ? count - done : kChunk;
    for (uint32_t i = 0; i < n; i++) {
      bytes[2 * i] = (uint8_t)(samples[done + i] >> 8);
      bytes[2 * i + 1] = (uint8_t)(samples[done + i] & 0xff);
    }
    fwrite(bytes, 2, n, stream);
    done += n;
  }
}

static void no_kinect_quit() {
  fprintf(stderr, "Error: Kinect not connected?\n");
  exit(1);
}

// ---------------------------------------------------------------- main

int main() {
  void *rgb = nullptr;    // colour frame; belongs to libfreenect_sync
  void *depth = nullptr;  // depth frame, reused for the three formats; belongs to libfreenect_sync
  uint32_t timestamp;     // filled by every fetch, not used

  keep_std_descriptors_open();
  if (freenect_sync_get_video(&rgb, &timestamp, kDevice, FREENECT_VIDEO_RGB) < 0) {
    no_kinect_quit();
  }
  FILE *stream = open_dump("registration_test_rgb.ppm");
  dump_rgb(stream, rgb, kWidth, kHeight);
  close_dump(stream, "registration_test_rgb.ppm");

  if (freenect_sync_get_depth(&depth, &timestamp, kDevice, FREENECT_DEPTH_11BIT) < 0) {
    no_kinect_quit();
  }
  stream = open_dump("registration_test_depth_raw.pgm");
  dump_depth(stream, depth, kWidth, kHeight);
  close_dump(stream, "registration_test_depth_raw.pgm");

  if (freenect_sync_get_depth(&depth, &timestamp, kDevice, FREENECT_DEPTH_REGISTERED) < 0) {
    no_kinect_quit();
  }
  stream = open_dump("registration_test_depth_registered.pgm");
  dump_depth(stream, depth, kWidth, kHeight);
  close_dump(stream, "registration_test_depth_registered.pgm");

  if (freenect_sync_get_depth(&depth, &timestamp, kDevice, FREENECT_DEPTH_MM) < 0) {
    no_kinect_quit();
  }
  stream = open_dump("registration_test_depth_mm.pgm");
  dump_depth(stream, depth, kWidth, kHeight);
  close_dump(stream, "registration_test_depth_mm.pgm");
  return 0;
}
