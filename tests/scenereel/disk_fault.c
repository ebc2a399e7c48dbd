// LD_PRELOAD interposer: a disk that pauses or fails at chosen moments, for
// the tests of a recorder's writer.
//   KSTALL_WRITEV_UNTIL=path  the first writev() waits until `path` exists
//                        before writing, so that frames pile up in the
//                        recorder's queue for as long as the test wants;
//   KSHORT_WRITE=n       the n-th write() (1-based) writes only half of its
//                        bytes and the next one fails with ENOSPC, as when
//                        a disk fills in the middle of a line.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

ssize_t writev(int fd, const struct iovec *iov, int count) {
  static atomic_int calls;
  static ssize_t (*real)(int, const struct iovec *, int);
  if (!real) real = (ssize_t(*)(int, const struct iovec *, int))dlsym(RTLD_NEXT, "writev");
  const char *until = getenv("KSTALL_WRITEV_UNTIL");
  if (until && atomic_fetch_add(&calls, 1) == 0) {
    const struct timespec poll = {0, 10000000L};  // 10 ms
    while (access(until, F_OK) != 0) nanosleep(&poll, NULL);
  }
  return real(fd, iov, count);
}

ssize_t write(int fd, const void *data, size_t size) {
  static atomic_int calls;
  static ssize_t (*real)(int, const void *, size_t);
  if (!real) real = (ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write");
  const char *short_at = getenv("KSHORT_WRITE");
  if (short_at) {
    const int call = atomic_fetch_add(&calls, 1) + 1, n = atoi(short_at);
    if (call == n && size > 1) return real(fd, data, size / 2);
    if (call == n + 1) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real(fd, data, size);
}
