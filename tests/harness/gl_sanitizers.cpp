#include <cstdio>
#include <cstdlib>

#include "harness.hpp"

namespace kestrel::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
namespace {
// `base` (an inherited *SAN_OPTIONS value, may be null) with `option` appended.
std::string with_option(const char *base, const std::string &option) {
  return (base && *base ? std::string(base) + ":" : std::string()) + option;
}
}  // namespace
#endif

void quiet_gl_stack(Env &env, const TempDir &dir) {
#if defined(__SANITIZE_ADDRESS__)
  (void)dir;
  env["ASAN_OPTIONS"] = with_option(getenv("ASAN_OPTIONS"), "detect_leaks=0");
#elif defined(__SANITIZE_THREAD__)
  const std::string supp = dir.file("tsan.supp");
  if (FILE *f = fopen(supp.c_str(), "w")) {
    fputs("race:swrast_dri.so\nrace:libgallium\nrace:libLLVM\n", f);
    fclose(f);
  }
  env["TSAN_OPTIONS"] = with_option(getenv("TSAN_OPTIONS"), "suppressions=" + supp);
#else
  (void)env;
  (void)dir;
#endif
}

}  // namespace kestrel::test
