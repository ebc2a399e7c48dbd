// LD_PRELOAD interposer: the first writev() of the process waits
// KSTALL_WRITEV_MS milliseconds before it writes, like a disk that pauses,
// so that frames pile up in a recorder's queue.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <sys/uio.h>
#include <time.h>

ssize_t writev(int fd, const struct iovec *iov, int count) {
  static atomic_int calls;
  static ssize_t (*real)(int, const struct iovec *, int);
  if (!real) real = (ssize_t(*)(int, const struct iovec *, int))dlsym(RTLD_NEXT, "writev");
  const char *ms = getenv("KSTALL_WRITEV_MS");
  if (ms && atomic_fetch_add(&calls, 1) == 0) {
    const long wait = atol(ms);
    const struct timespec pause = {wait / 1000, (wait % 1000) * 1000000L};
    nanosleep(&pause, NULL);
  }
  return real(fd, iov, count);
}
