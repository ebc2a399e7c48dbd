// LD_PRELOAD interposer: a motor that takes time, and a Kinect the test
// unplugs. After each freenect_set_tilt_degs, freenect_get_tilt_status
// reports TILT_STATUS_MOVING for the next KMOTOR_MOVING_READS reads (-1: for
// ever), then the driver's own status. Once the file KMOTOR_LOSE_FILE exists,
// freenect_process_events_timeout fails (-1), as for a Kinect pulled out.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <libfreenect.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <unistd.h>

static atomic_int moving_reads_left;  // reads still to report as moving

int freenect_set_tilt_degs(freenect_device *dev, double angle) {
  int (*real)(freenect_device *, double) =
      (int (*)(freenect_device *, double))dlsym(RTLD_NEXT, "freenect_set_tilt_degs");
  const char *reads = getenv("KMOTOR_MOVING_READS");
  atomic_store(&moving_reads_left, reads ? atoi(reads) : 0);
  return real(dev, angle);
}

freenect_tilt_status_code freenect_get_tilt_status(freenect_raw_tilt_state *state) {
  freenect_tilt_status_code (*real)(freenect_raw_tilt_state *) =
      (freenect_tilt_status_code(*)(freenect_raw_tilt_state *))dlsym(RTLD_NEXT,
                                                                     "freenect_get_tilt_status");
  int left = atomic_load(&moving_reads_left);
  if (left < 0) return TILT_STATUS_MOVING;
  if (left > 0) {
    atomic_fetch_sub(&moving_reads_left, 1);
    return TILT_STATUS_MOVING;
  }
  return real(state);
}

int freenect_process_events_timeout(freenect_context *ctx, struct timeval *timeout) {
  int (*real)(freenect_context *, struct timeval *) = (int (*)(
      freenect_context *, struct timeval *))dlsym(RTLD_NEXT, "freenect_process_events_timeout");
  const char *lose = getenv("KMOTOR_LOSE_FILE");
  if (lose && access(lose, F_OK) == 0) return -1;
  return real(ctx, timeout);
}
