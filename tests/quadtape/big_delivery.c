// An LD_PRELOAD interposer that lets a test drive quadtape to the WAV files'
// 32-bit size limit without writing 4 GiB four times.
//
// With KTAPE_DELIVERY=<n> in the environment, every audio delivery reaches the
// program's callback claiming n samples per microphone (the buffers stay the
// simulator's small ones), and every fwrite of 1 MiB or more grows the file by
// that many bytes as a hole instead of copying the buffer: the files become
// sparse, with the lengths and headers a real recording of that size would
// have. Smaller writes (headers, size fields) pass through unchanged.

#define _GNU_SOURCE
#include <dlfcn.h>
#include <libfreenect.h>
#include <libfreenect_audio.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#define BIG_WRITE (1u << 20)  // bytes; deliveries of the simulator stay far below

static freenect_audio_in_cb program_callback;  // the callback the program registered

static void inflated_callback(freenect_device *dev, int num_samples, int32_t *mic1, int32_t *mic2,
                              int32_t *mic3, int32_t *mic4, int16_t *cancelled, void *unknown) {
  const char *claimed = getenv("KTAPE_DELIVERY");
  if (claimed) num_samples = atoi(claimed);
  program_callback(dev, num_samples, mic1, mic2, mic3, mic4, cancelled, unknown);
}

void freenect_set_audio_in_callback(freenect_device *dev, freenect_audio_in_cb callback) {
  void (*real)(freenect_device *, freenect_audio_in_cb) = (void (*)(
      freenect_device *, freenect_audio_in_cb))dlsym(RTLD_NEXT, "freenect_set_audio_in_callback");
  program_callback = callback;
  real(dev, callback ? inflated_callback : NULL);
}

size_t fwrite(const void *data, size_t size, size_t count, FILE *stream) {
  if (size * count < BIG_WRITE) {
    size_t (*real)(const void *, size_t, size_t, FILE *) =
        (size_t(*)(const void *, size_t, size_t, FILE *))dlsym(RTLD_NEXT, "fwrite");
    return real(data, size, count, stream);
  }
  // The program's WAV streams are unbuffered, so the stream position is the
  // file position.
  const off_t end = ftello(stream) + (off_t)(size * count);
  if (ftruncate(fileno(stream), end) != 0 || fseeko(stream, end, SEEK_SET) != 0) return 0;
  return count;
}
