// LD_PRELOAD interposer for a tool's start-up failures that the driver cannot
// cause. KFAULT_CALLOC="<nmemb>x<size>" makes every calloc with exactly those
// arguments return NULL; KFAULT_PTHREAD_CREATE=1 makes pthread_create fail
// with EAGAIN. Every other call goes on to the real function.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

typedef void *(*calloc_fn)(size_t, size_t);
typedef int (*pthread_create_fn)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

// Set while the real calloc is looked up: dlsym needs no memory to find a
// symbol that exists, so a call meanwhile gets NULL rather than recursing.
static int resolving;

static int is_failing_calloc(size_t nmemb, size_t size) {
  const char *spec = getenv("KFAULT_CALLOC");
  unsigned long want_nmemb, want_size;
  return spec && sscanf(spec, "%lux%lu", &want_nmemb, &want_size) == 2 && nmemb == want_nmemb &&
         size == want_size;
}

void *calloc(size_t nmemb, size_t size) {
  static calloc_fn real;
  if (!real) {
    if (resolving) return NULL;
    resolving = 1;
    real = (calloc_fn)dlsym(RTLD_NEXT, "calloc");
    resolving = 0;
  }
  if (is_failing_calloc(nmemb, size)) return NULL;
  return real(nmemb, size);
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attr, void *(*start)(void *),
                   void *arg) {
  const char *spec = getenv("KFAULT_PTHREAD_CREATE");
  if (spec && spec[0] == '1') return EAGAIN;
  pthread_create_fn real = (pthread_create_fn)dlsym(RTLD_NEXT, "pthread_create");
  return real(thread, attr, start, arg);
}
