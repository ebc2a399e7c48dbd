// The floor under quadtape's CPU use: the same event pump on the audio
// sub-device, with a callback that does nothing and no files. Run beside
// quadtape by quadtape_bench, it shows how much of the recorder's CPU time is
// the driver's event loop rather than the recording.

#include <libfreenect.h>
#include <libfreenect_audio.h>
#include <signal.h>

static volatile sig_atomic_t die = 0;  // set by the SIGINT handler

static void ignore_samples(freenect_device *, int, int32_t *, int32_t *, int32_t *, int32_t *,
                           int16_t *, void *) {}

static void stop(int) {
  die = 1;
}

int main() {
  freenect_context *ctx = NULL;
  freenect_device *dev = NULL;
  if (freenect_init(&ctx, NULL) < 0) return 1;
  freenect_select_subdevices(ctx, FREENECT_DEVICE_AUDIO);
  if (freenect_open_device(ctx, &dev, 0) < 0) {
    freenect_shutdown(ctx);
    return 1;
  }
  freenect_set_audio_in_callback(dev, ignore_samples);
  freenect_start_audio(dev);
  signal(SIGINT, stop);
  while (!die && freenect_process_events(ctx) >= 0) {
  }
  freenect_shutdown(ctx);
  return 0;
}
