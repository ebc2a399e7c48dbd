// LD_PRELOAD interposer of the freenect_sync_* calls. KSYNC_FAIL names the
// calls to fail: "<function>[@N][,...]"; the N-th call (1-based, default 1) of
// that function and every later one return -1 without reaching the wrapper.
// All other calls go on to the real wrapper.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <libfreenect_sync.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Call counters, one per interposed function (written by any thread).
enum {
  GET_VIDEO_WITH_RES,
  GET_VIDEO,
  GET_DEPTH_WITH_RES,
  GET_DEPTH,
  SET_TILT_DEGS,
  GET_TILT_STATE,
  SET_LED,
  CAMERA_TO_WORLD,
  FUNCTION_COUNT
};
static const char *const names[FUNCTION_COUNT] = {
    "freenect_sync_get_video_with_res",
    "freenect_sync_get_video",
    "freenect_sync_get_depth_with_res",
    "freenect_sync_get_depth",
    "freenect_sync_set_tilt_degs",
    "freenect_sync_get_tilt_state",
    "freenect_sync_set_led",
    "freenect_sync_camera_to_world",
};
static atomic_long calls[FUNCTION_COUNT];

// The call number from which `name` fails according to KSYNC_FAIL, 0 if never.
static long fail_from(const char *name) {
  const char *spec = getenv("KSYNC_FAIL");
  size_t len = strlen(name);
  while (spec && *spec) {
    const char *end = strchr(spec, ',');
    size_t item = end ? (size_t)(end - spec) : strlen(spec);
    if (item >= len && strncmp(spec, name, len) == 0 && (item == len || spec[len] == '@')) {
      long n = item == len ? 1 : strtol(spec + len + 1, NULL, 10);
      return n > 0 ? n : 1;
    }
    spec = end ? end + 1 : NULL;
  }
  return 0;
}

// Counts this call of function `f`; true if it is to fail.
static int should_fail(int f) {
  long n = atomic_fetch_add(&calls[f], 1) + 1;
  long from = fail_from(names[f]);
  return from > 0 && n >= from;
}

// The real wrapper's function, or abort: a test run without the wrapper is broken.
static void *next(int f) {
  void *sym = dlsym(RTLD_NEXT, names[f]);
  if (!sym) {
    fprintf(stderr, "sync_fault: %s not found\n", names[f]);
    abort();
  }
  return sym;
}

int freenect_sync_get_video_with_res(void **video, uint32_t *timestamp, int index,
                                     freenect_resolution res, freenect_video_format fmt) {
  if (should_fail(GET_VIDEO_WITH_RES)) return -1;
  int (*real)(void **, uint32_t *, int, freenect_resolution, freenect_video_format) =
      next(GET_VIDEO_WITH_RES);
  return real(video, timestamp, index, res, fmt);
}

int freenect_sync_get_video(void **video, uint32_t *timestamp, int index,
                            freenect_video_format fmt) {
  if (should_fail(GET_VIDEO)) return -1;
  int (*real)(void **, uint32_t *, int, freenect_video_format) = next(GET_VIDEO);
  return real(video, timestamp, index, fmt);
}

int freenect_sync_get_depth_with_res(void **depth, uint32_t *timestamp, int index,
                                     freenect_resolution res, freenect_depth_format fmt) {
  if (should_fail(GET_DEPTH_WITH_RES)) return -1;
  int (*real)(void **, uint32_t *, int, freenect_resolution, freenect_depth_format) =
      next(GET_DEPTH_WITH_RES);
  return real(depth, timestamp, index, res, fmt);
}

int freenect_sync_get_depth(void **depth, uint32_t *timestamp, int index,
                            freenect_depth_format fmt) {
  if (should_fail(GET_DEPTH)) return -1;
  int (*real)(void **, uint32_t *, int, freenect_depth_format) = next(GET_DEPTH);
  return real(depth, timestamp, index, fmt);
}

int freenect_sync_set_tilt_degs(int angle, int index) {
  if (should_fail(SET_TILT_DEGS)) return -1;
  int (*real)(int, int) = next(SET_TILT_DEGS);
  return real(angle, index);
}

int freenect_sync_get_tilt_state(freenect_raw_tilt_state **state, int index) {
  if (should_fail(GET_TILT_STATE)) return -1;
  int (*real)(freenect_raw_tilt_state **, int) = next(GET_TILT_STATE);
  return real(state, index);
}

int freenect_sync_set_led(freenect_led_options led, int index) {
  if (should_fail(SET_LED)) return -1;
  int (*real)(freenect_led_options, int) = next(SET_LED);
  return real(led, index);
}

int freenect_sync_camera_to_world(int cx, int cy, int wz, double *wx, double *wy, int index) {
  if (should_fail(CAMERA_TO_WORLD)) return -1;
  int (*real)(int, int, int, double *, double *, int) = next(CAMERA_TO_WORLD);
  return real(cx, cy, wz, wx, wy, index);
}
