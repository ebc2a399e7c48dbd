// LD_PRELOAD interposer for the streamcheck tests: right after the video
// stream has been started (the last start-up call), the process sends itself
// the signal numbered in KSTART_SIGNAL, as if it had arrived during start-up.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <libfreenect.h>
#include <signal.h>
#include <stdlib.h>

int freenect_start_video(freenect_device *dev) {
  int (*real)(freenect_device *) =
      (int (*)(freenect_device *))dlsym(RTLD_NEXT, "freenect_start_video");
  int result = real ? real(dev) : -1;
  const char *sig = getenv("KSTART_SIGNAL");
  if (sig) raise(atoi(sig));
  return result;
}
