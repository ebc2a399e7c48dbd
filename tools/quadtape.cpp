// quadtape: records the four microphones of the first Kinect into four mono
// WAV files, channel1.wav to channel4.wav, until Ctrl-C (SIGINT) or until the
// driver stops delivering. SIGTERM, SIGQUIT and SIGHUP end it the same way,
// and a closed or stalled standard output does not end it, so the headers are
// always finished.
//
// Every delivery is written straight to the four files from the audio-in
// callback; at the end the final sizes are written into the four headers.
// Everything runs on the main thread, apart from the signal handlers.

#include <fcntl.h>
#include <libfreenect.h>
#include <libfreenect_audio.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------- state

constexpr int kMics = 4;                  // microphones on a Kinect
constexpr uint32_t kHeaderSize = 44;      // bytes of the canonical WAV header
constexpr uint32_t kSampleBytes = 4;      // signed 32-bit samples
constexpr uint32_t kRiffSizeOffset = 4;   // RIFF chunk size: file size - 8
constexpr uint32_t kDataSizeOffset = 40;  // data chunk size: sample bytes
constexpr uint32_t kRiffSizeBase = 36;    // RIFF chunk size of a file without samples
// Most samples per channel whose RIFF chunk size still fits the header's
// 32-bit field: 36 + 4 × 1073741814 = 4294967292.
constexpr int kMaxSamples = (int)((UINT32_MAX - kRiffSizeBase) / kSampleBytes);
constexpr size_t kMaxLine = 160;  // bytes of the longest status line, newline included

static const char *const file_names[kMics] = {"channel1.wav", "channel2.wav", "channel3.wav",
                                              "channel4.wav"};

// The header every file starts with: PCM, one channel, 16000 Hz, 32 bits per
// sample; the two size fields stay 0 here and are filled in the files at the end.
// clang-format off
static const uint8_t wavheader[kHeaderSize] = {
    'R', 'I', 'F', 'F', 0, 0, 0, 0,    // RIFF chunk size
    'W', 'A', 'V', 'E',                // form type
    'f', 'm', 't', ' ', 16, 0, 0, 0,   // format chunk, 16 bytes
    1, 0,                              // PCM
    1, 0,                              // one channel
    0x80, 0x3e, 0, 0,                  // 16000 samples per second
    0x00, 0xfa, 0, 0,                  // 64000 bytes per second
    4, 0,                              // bytes per sample frame
    32, 0,                             // bits per sample
    'd', 'a', 't', 'a', 0, 0, 0, 0,    // data chunk size
};
// clang-format on

// The recording, owned by main and attached to the device as its user data;
// only the main thread (in the callback and in main) touches it.
struct recording {
  FILE *files[kMics];    // channel1.wav .. channel4.wav
  int samples_recorded;  // samples in each file (per channel, not summed)
  bool stopped;          // no more samples are taken: the files are full or a write failed
  bool write_failed;     // a write to a file failed; the run ends with status 1
};

// 1 once SIGINT, SIGTERM, SIGQUIT or SIGHUP arrived; set by the handlers,
// read by the main loop.
static std::atomic<int> die{0};
static_assert(std::atomic<int>::is_always_lock_free, "die must be safe to set in a signal handler");

static freenect_context *f_ctx = nullptr;  // driver context
static freenect_device *f_dev = nullptr;   // the open audio device

// ---------------------------------------------------------------- helpers

// Makes sure descriptors 0, 1 and 2 are open, on /dev/null where they were
// closed: otherwise a WAV file would get one of them and the status lines
// would be written into it.
static void keep_std_descriptors_open() {
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
}

// True when a line can be written to standard output without waiting: a
// reader that stops reading must not stop the recording. A pipe that polls
// writable has a free page, more than any line. Safe in a signal handler.
static bool stdout_ready() {
  pollfd out = {STDOUT_FILENO, POLLOUT, 0};
  return poll(&out, 1, 0) == 1 && (out.revents & POLLOUT);
}

// Prints one status line with a single write, or drops it when standard
// output is not ready (a stalled or closed reader).
static void say(const char *format, ...) {
  char line[kMaxLine];
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0 || !stdout_ready()) return;
  const size_t length = (size_t)n < sizeof line ? (size_t)n : sizeof line - 1;
  if (write(STDOUT_FILENO, line, length) < 0) {
    // Dropped: the recording matters more than its status lines.
  }
}

// Closes the files opened so far and removes them: they hold no recording yet.
static void discard_files(recording *rec) {
  for (int k = 0; k < kMics; k++) {
    if (!rec->files[k]) continue;
    fclose(rec->files[k]);
    remove(file_names[k]);
    rec->files[k] = nullptr;
  }
}

// Opens the four files without truncating any, so that a take that cannot
// start leaves the previous take as it was; the files this made are removed
// again. False, with the message printed, when one cannot be opened.
static bool open_files(int fds[kMics]) {
  bool made[kMics] = {};
  for (int k = 0; k < kMics; k++) {
    fds[k] = open(file_names[k], O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    made[k] = fds[k] >= 0;
    if (!made[k] && errno == EEXIST)
      fds[k] = open(file_names[k], O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fds[k] >= 0) continue;
    say("Could not create %s\n", file_names[k]);
    for (int j = 0; j < k; j++) {
      close(fds[j]);
      if (made[j]) remove(file_names[j]);
    }
    return false;
  }
  return true;
}

// Creates the four files (truncating an earlier take only once all four are
// open) and writes the header template to each. The files are unbuffered:
// every write reaches the file at once, so after a failed write each file's
// length tells exactly what it holds.
static bool create_files(recording *rec) {
  int fds[kMics];
  if (!open_files(fds)) return false;
  for (int k = 0; k < kMics; k++) {
    rec->files[k] = ftruncate(fds[k], 0) == 0 ? fdopen(fds[k], "wb") : nullptr;
    if (!rec->files[k]) {
      say("Could not create %s\n", file_names[k]);
      for (int j = k; j < kMics; j++) close(fds[j]);
      discard_files(rec);
      return false;
    }
    setvbuf(rec->files[k], nullptr, _IONBF, 0);
  }
  for (int k = 0; k < kMics; k++) {
    if (fwrite(wavheader, 1, kHeaderSize, rec->files[k]) != kHeaderSize) {
      say("Could not write %s\n", file_names[k]);
      discard_files(rec);
      return false;
    }
  }
  return true;
}

// Writes a 32-bit header field, little-endian, at `offset`.
static bool write_field(FILE *file, uint32_t offset, uint32_t value) {
  const uint8_t bytes[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16),
                            (uint8_t)(value >> 24)};
  return fseek(file, offset, SEEK_SET) == 0 && fwrite(bytes, 1, 4, file) == 4;
}

// Writes the final sizes into the four headers and closes the files. After a
// failed write, each file is first cut back to the samples that all four hold,
// so that headers and lengths agree. False if anything failed.
static bool finish_files(recording *rec) {
  rec->stopped = true;  // a delivery during the shutdown finds no files to write
  const uint32_t data_bytes = kSampleBytes * (uint32_t)rec->samples_recorded;
  bool ok = true;
  for (int k = 0; k < kMics; k++) {
    FILE *file = rec->files[k];
    bool done = !rec->write_failed || ftruncate(fileno(file), (off_t)kHeaderSize + data_bytes) == 0;
    done = done && write_field(file, kRiffSizeOffset, kRiffSizeBase + data_bytes);
    done = done && write_field(file, kDataSizeOffset, data_bytes);
    if (fclose(file) != 0) done = false;
    rec->files[k] = nullptr;
    if (!done) {
      say("Could not finish %s\n", file_names[k]);
      ok = false;
    }
  }
  return ok;
}

// ---------------------------------------------------------------- callbacks

// Appends one delivery to the four files. A delivery that would take the files
// past what their 32-bit size fields can describe is cut to what still fits,
// and the recording stops there.
static void in_callback(freenect_device *dev, int num_samples, int32_t *mic1, int32_t *mic2,
                        int32_t *mic3, int32_t *mic4, int16_t *cancelled, void *unknown) {
  (void)cancelled;
  (void)unknown;
  recording *rec = (recording *)freenect_get_user(dev);
  if (rec->stopped || num_samples < 0) return;
  int32_t *const mics[kMics] = {mic1, mic2, mic3, mic4};

  int n = num_samples;
  const bool full = n >= kMaxSamples - rec->samples_recorded;
  if (full) n = kMaxSamples - rec->samples_recorded;
  const size_t bytes = (size_t)n * kSampleBytes;
  for (int k = 0; k < kMics; k++) {
    if (fwrite(mics[k], 1, bytes, rec->files[k]) != bytes) {
      say("Could not write %s, recording stopped\n", file_names[k]);
      rec->write_failed = true;
      rec->stopped = true;
      return;
    }
  }
  rec->samples_recorded += n;
  say("Sample received.  Total samples recorded: %d\n", rec->samples_recorded);
  if (full) {
    say("The WAV files are full, recording stopped\n");
    rec->stopped = true;
  }
}

// SIGINT: ask the main loop to stop. poll() and write() are safe in a signal
// handler, stdio is not; a stalled reader loses the line, not the stop.
static void cleanup(int sig) {
  (void)sig;
  static const char message[] = "Caught SIGINT, cleaning up\n";
  if (stdout_ready() && write(STDOUT_FILENO, message, sizeof message - 1) < 0) {
    // Nothing to do: the flag below is what matters.
  }
  die = 1;
}

// SIGTERM, SIGQUIT and SIGHUP (a kill, Ctrl-\, the terminal closing): stop
// like SIGINT, without its message, so that the headers are still finished.
static void stop_quietly(int sig) {
  (void)sig;
  die = 1;
}

// ---------------------------------------------------------------- main

int main() {
  keep_std_descriptors_open();
  // The count lines may go to a pipe whose reader quits early; the recording
  // goes on, and writes to the closed pipe fail quietly instead of killing the
  // program before the headers are finished.
  signal(SIGPIPE, SIG_IGN);

  if (freenect_init(&f_ctx, nullptr) < 0) {
    say("freenect_init() failed\n");
    return 1;
  }
  freenect_set_log_level(f_ctx, FREENECT_LOG_SPEW);
  freenect_select_subdevices(f_ctx, FREENECT_DEVICE_AUDIO);

  const int num_devices = freenect_num_devices(f_ctx);
  say("Number of devices found: %d\n", num_devices);
  if (num_devices < 1) {
    freenect_shutdown(f_ctx);
    return 1;
  }
  if (freenect_open_device(f_ctx, &f_dev, 0) < 0) {
    say("Could not open device\n");
    freenect_shutdown(f_ctx);
    return 1;
  }

  recording rec = {};
  if (!create_files(&rec)) {
    freenect_shutdown(f_ctx);
    return 1;
  }
  freenect_set_user(f_dev, &rec);
  freenect_set_audio_in_callback(f_dev, in_callback);
  freenect_start_audio(f_dev);
  signal(SIGINT, cleanup);
  signal(SIGTERM, stop_quietly);
  signal(SIGQUIT, stop_quietly);
  signal(SIGHUP, stop_quietly);

  while (!die && !rec.stopped) {
    if (freenect_process_events(f_ctx) < 0) break;
  }

  const bool finished = finish_files(&rec);
  freenect_shutdown(f_ctx);
  return finished && !rec.write_failed ? 0 : 1;
}
