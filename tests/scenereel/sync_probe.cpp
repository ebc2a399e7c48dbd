// sync_probe: fetches frames and the tilt state through the driver's
// synchronous wrapper, as an application replaying a recording would, and
// leaves what it saw for the test to compare with the recording.
//
//   sync_probe OUTDIR N
//
// N times: one 11-bit depth frame, one RGB frame and the tilt state. Each
// frame goes to OUTDIR/depth-<i>.bin or OUTDIR/video-<i>.bin, and one line
// per fetch to stdout: "depth <timestamp>", "video <timestamp>",
// "tilt <x> <y> <z> <angle> <status>". Status 1 when a fetch fails.
#include <libfreenect.h>
#include <libfreenect_sync.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool save(const std::string &path, const void *data, size_t size) {
  FILE *f = fopen(path.c_str(), "wb");
  const bool ok = f && fwrite(data, 1, size, f) == size;
  return f && fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) return 2;
  const std::string dir = argv[1];
  const int count = atoi(argv[2]);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  for (int i = 0; i < count; i++) {
    void *frame = nullptr;
    uint32_t timestamp = 0;
    if (freenect_sync_get_depth(&frame, &timestamp, 0, FREENECT_DEPTH_11BIT) < 0) return 1;
    if (!save(dir + "/depth-" + std::to_string(i) + ".bin", frame, 640 * 480 * 2)) return 1;
    printf("depth %u\n", timestamp);
    if (freenect_sync_get_video(&frame, &timestamp, 0, FREENECT_VIDEO_RGB) < 0) return 1;
    if (!save(dir + "/video-" + std::to_string(i) + ".bin", frame, 640 * 480 * 3)) return 1;
    printf("video %u\n", timestamp);
    freenect_raw_tilt_state *state = nullptr;
    if (freenect_sync_get_tilt_state(&state, 0) < 0) return 1;
    printf("tilt %d %d %d %d %d\n", state->accelerometer_x, state->accelerometer_y,
           state->accelerometer_z, state->tilt_angle, (int)state->tilt_status);
  }
  freenect_sync_stop();
  return 0;
}
