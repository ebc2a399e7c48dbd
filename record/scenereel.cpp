// scenereel: records a Kinect session into a folder, in the format the
// driver's replay library reads (and the simulated Kinect replays):
//
//   scenereel DIR [--seconds S] [--frames N] [--device INDEX]
//
// It streams 640 × 480 11-bit depth and RGB video, and after each depth frame
// reads the motor and accelerometer state, until SIGINT or SIGTERM, S seconds,
// N depth frames, a lost device or a failed write. DIR holds
//
//   INDEX.txt                 the entry files in recording order, one a line
//   d-<secs>-<timestamp>.pgm  "P5 640 480 65535\n" + 16-bit depth, host order
//   r-<secs>-<timestamp>.ppm  "P6 640 480 255\n" + RGB bytes
//   a-<secs>-<timestamp>.dump the raw freenect_raw_tilt_state
//
// <secs> is the wall-clock time of arrival (%f), which replay paces itself by;
// <timestamp> is the frame's (for an accelerometer entry, the depth frame's
// it follows).
//
// Two threads. The event thread (main) pumps the driver, which fills buffers
// of a pool; its callbacks queue each filled buffer and give the driver a free
// one, or drop the frame when none is free, so the driver never waits for the
// disk. The writer thread writes each entry whole under a temporary name,
// renames it, then appends its line to INDEX.txt: whatever stops the program,
// even SIGKILL, every listed entry is complete.

#include <dirent.h>
#include <fcntl.h>
#include <libfreenect.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

// ---------------------------------------------------------------- state

constexpr size_t kDepthBytes = 640 * 480 * 2;  // 16 bits a pixel
constexpr size_t kVideoBytes = 640 * 480 * 3;  // R, G, B
constexpr char kDepthHeader[] = "P5 640 480 65535\n";
constexpr char kVideoHeader[] = "P6 640 480 255\n";

// Frames waiting for the writer, each in a buffer of kVideoBytes: 0.8 s of
// depth and video at 30 frames/s, to ride out a slow disk's pauses.
constexpr size_t kFrameBuffers = 48;
// Entries waiting: every buffered frame and an accelerometer state for each.
constexpr size_t kQueueEntries = 2 * kFrameBuffers;
// The writer is woken once this many entries wait (two pairs and their
// states), or after kWriterNapMs: a wake-up an entry would cost more CPU than
// the small files.
constexpr size_t kWakeBatch = 6;
constexpr int kWriterNapMs = 100;
// Longest the event loop waits for the driver, so that a signal or the time
// limit is noticed even when no frame comes: 50 ms.
constexpr long kPumpTimeoutUs = 50000;
// A stream silent this long is reported on standard error (and again when
// it delivers, or when the recording ends, with how long it was silent): 90
// frame times at 30 frames/s, longer than a Kinect takes to deliver its first
// frames after the start or than a busy machine delays the event loop, far
// shorter than a session; the recording goes on, as the stream may come back.
constexpr double kQuietWarnSeconds = 3.0;
// A name already taken (the wall clock went back) is retried this many times,
// each 1 µs later.
constexpr int kNameRetries = 100;

constexpr int kUsageStatus = 2;  // bad arguments, or DIR exists and is not empty

struct Options {
  std::string dir;
  double seconds = 0;  // stop after this long; 0: no limit
  long frames = 0;     // stop after this many depth frames; 0: no limit
  int device = 0;      // device index
};

// One file of the recording, on its way to the writer.
struct Entry {
  char kind;                     // 'd' depth, 'r' colour, 'a' accelerometer
  double secs;                   // wall-clock time of arrival, seconds since the epoch
  uint32_t timestamp;            // the frame's; for 'a' the last depth frame's
  uint8_t *frame;                // 'd' and 'r': the bytes, a buffer of the pool
  freenect_raw_tilt_state tilt;  // 'a': the state, padding zeroed
};

// The hand-over between the event thread (adds entries, takes free buffers)
// and the writer thread (takes entries, returns their buffers). Every member
// is guarded by `lock`.
struct Queue {
  std::mutex lock;
  std::condition_variable ready;  // signalled when kWakeBatch entries wait or `closing` is set
  std::vector<Entry> ring;        // kQueueEntries slots
  size_t head = 0, count = 0;     // oldest entry, number waiting
  std::vector<uint8_t *> free_buffers;  // taken last-in first-out, so few stay warm
  bool closing = false;                 // the event thread adds no more entries
};

// What the writer thread keeps: its counts are read by main after the join.
struct Writer {
  int dir_fd = -1;               // the recording's folder
  int index_fd = -1;             // INDEX.txt, append-only
  off_t index_length = 0;        // bytes of whole lines in INDEX.txt
  long written[3] = {};          // entries listed: depth, video, accelerometer
  long discarded = 0;            // entries left unwritten after a failure
  unsigned long long bytes = 0;  // bytes of the listed entry files
  std::string error;             // why writing stopped; empty while all is well
};

// The whole recording; user data of the device. The event-thread members are
// touched only by the thread pumping the driver.
struct Recording {
  Queue queue;
  Writer writer;
  std::atomic<bool> write_failed{false};  // set by the writer, read by the event loop
  long depth_seen = 0;                    // event thread: depth frames received
  long video_seen = 0;                    // event thread: colour frames received
  long dropped = 0;                       // event thread: entries with no room in the queue
  long tilt_unread = 0;                   // event thread: states the driver could not read
  std::string tilt_failure;               // event thread: why the last of them was not read
  uint32_t last_depth_timestamp = 0;      // event thread
  uint8_t *depth_buffer = nullptr;        // event thread: the pool buffer the driver fills
  uint8_t *video_buffer = nullptr;        // event thread: likewise for colour
};

// Set by the SIGINT and SIGTERM handlers, read by the event loop.
static volatile sig_atomic_t stop_requested = 0;

// ---------------------------------------------------------------- helpers

static void usage(FILE *to) {
  fprintf(to, "usage: scenereel DIR [--seconds S] [--frames N] [--device INDEX]\n");
}

// Reads the options; false (after a message) if they make no sense.
static bool parse_options(int argc, char **argv, Options *opts) {
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    char *end = nullptr;
    if (arg == "--seconds" && has_value) {
      opts->seconds = strtod(argv[++i], &end);
      if (*end || !std::isfinite(opts->seconds) || opts->seconds <= 0) {
        fprintf(stderr, "scenereel: --seconds needs a positive number\n");
        return false;
      }
    } else if (arg == "--frames" && has_value) {
      errno = 0;
      opts->frames = strtol(argv[++i], &end, 10);
      if (*end || errno || opts->frames <= 0) {
        fprintf(stderr, "scenereel: --frames needs a positive whole number\n");
        return false;
      }
    } else if (arg == "--device" && has_value) {
      errno = 0;
      const long index = strtol(argv[++i], &end, 10);
      if (*end || errno || index < 0 || index > INT32_MAX) {
        fprintf(stderr, "scenereel: --device needs a device index (0, 1, ...)\n");
        return false;
      }
      opts->device = (int)index;
    } else if (arg.rfind("-", 0) == 0 || !opts->dir.empty()) {
      usage(stderr);
      return false;
    } else {
      opts->dir = arg;
    }
  }
  if (opts->dir.empty()) usage(stderr);
  return !opts->dir.empty();
}

// Descriptors 0 to 2 that are closed are opened on /dev/null, so that no file
// the program opens later takes their place and receives its messages.
static void ensure_standard_descriptors() {
  for (int fd = 0; fd <= 2; fd++) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int opened = open("/dev/null", O_RDWR);
      if (opened >= 0 && opened != fd) close(opened);
    }
  }
}

// True if `dir` does not exist yet, or is an empty folder; otherwise prints
// why it cannot take a recording.
static bool dir_is_free(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (!d) {
    if (errno == ENOENT) return true;
    fprintf(stderr, "scenereel: cannot use %s: %s\n", dir.c_str(), strerror(errno));
    return false;
  }
  bool empty = true;
  while (const dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) empty = false;
  }
  closedir(d);
  if (!empty) {
    fprintf(stderr, "scenereel: %s is not empty; a recording is never overwritten\n", dir.c_str());
  }
  return empty;
}

// Creates the folder (unless it exists) and an empty INDEX.txt in it.
static bool create_recording(const std::string &dir, Writer *w) {
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    fprintf(stderr, "scenereel: cannot create %s: %s\n", dir.c_str(), strerror(errno));
    return false;
  }
  w->dir_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (w->dir_fd >= 0) {
    w->index_fd =
        openat(w->dir_fd, "INDEX.txt", O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
  }
  if (w->index_fd < 0) {
    fprintf(stderr, "scenereel: cannot create %s/INDEX.txt: %s\n", dir.c_str(), strerror(errno));
    if (w->dir_fd >= 0) close(w->dir_fd);
    return false;
  }
  return true;
}

static double wall_seconds() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return (double)now.tv_sec + now.tv_nsec / 1e9;
}

// Writes all of `iov` (two parts: header and data); false with errno set if
// a write fails.
static bool write_all(int fd, iovec iov[2]) {
  int first = 0;
  while (first < 2) {
    const ssize_t n = writev(fd, iov + first, 2 - first);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    size_t left = (size_t)n;
    while (first < 2 && left >= iov[first].iov_len) left -= iov[first++].iov_len;
    if (first < 2) {
      iov[first].iov_base = (char *)iov[first].iov_base + left;
      iov[first].iov_len -= left;
    }
  }
  return true;
}

// Renames `from` to `to` in the folder, never replacing a file already there.
static int rename_no_replace(int dir_fd, const char *from, const char *to) {
  if (renameat2(dir_fd, from, dir_fd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL) return -1;
  // A file system without the flag: check first (only this process writes here).
  if (faccessat(dir_fd, to, F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  return renameat(dir_fd, from, dir_fd, to);
}

// Appends "name\n" to INDEX.txt; a line that cannot be written whole is cut
// back, so the file only ever holds whole lines.
static bool append_index(Writer *w, const std::string &name) {
  const std::string line = name + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(w->index_fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = n == 0 ? ENOSPC : errno;
      if (done > 0 && ftruncate(w->index_fd, w->index_length) != 0) {
        // Nothing more to do: the message below already reports the failure.
      }
      errno = saved;
      return false;
    }
    done += (size_t)n;
  }
  w->index_length += (off_t)line.size();
  return true;
}

static std::string entry_name(const Entry &e, int retry) {
  const char *ext = e.kind == 'd' ? "pgm" : e.kind == 'r' ? "ppm" : "dump";
  char name[96];
  snprintf(name, sizeof name, "%c-%f-%u.%s", e.kind, e.secs + retry * 1e-6, e.timestamp, ext);
  return name;
}

// Writes one entry file under a temporary name, renames it and lists it.
// False, with w->error set and nothing unlisted left behind, on failure.
static bool write_entry(Writer *w, const Entry &e) {
  iovec iov[2];
  if (e.kind == 'a') {
    iov[0] = {(void *)&e.tilt, sizeof e.tilt};
    iov[1] = {nullptr, 0};
  } else {
    const bool depth = e.kind == 'd';
    iov[0] = {(void *)(depth ? kDepthHeader : kVideoHeader),
              (depth ? sizeof kDepthHeader : sizeof kVideoHeader) - 1};
    iov[1] = {e.frame, depth ? kDepthBytes : kVideoBytes};
  }
  const size_t size = iov[0].iov_len + iov[1].iov_len;

  std::string name = entry_name(e, 0);
  const std::string temporary = name + ".part";
  const int fd =
      openat(w->dir_fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    w->error = "cannot create " + temporary + ": " + strerror(errno);
    return false;
  }
  bool ok = write_all(fd, iov);
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  for (int retry = 1; ok && rename_no_replace(w->dir_fd, temporary.c_str(), name.c_str()) != 0;
       retry++) {
    saved = errno;
    if (saved != EEXIST || retry > kNameRetries)
      ok = false;
    else
      name = entry_name(e, retry);
  }
  if (!ok) {
    w->error = "cannot write " + name + ": " + strerror(saved);
    unlinkat(w->dir_fd, temporary.c_str(), 0);
    return false;
  }
  if (!append_index(w, name)) {
    w->error = std::string("cannot add ") + name + " to INDEX.txt: " + strerror(errno);
    unlinkat(w->dir_fd, name.c_str(), 0);
    return false;
  }
  w->written[e.kind == 'd' ? 0 : e.kind == 'r' ? 1 : 2]++;
  w->bytes += size;
  return true;
}

// Takes a free buffer, keeping room in the queue for the entry it will hold;
// null when the writer is too far behind.
static uint8_t *take_buffer(Queue &q) {
  std::lock_guard<std::mutex> hold(q.lock);
  if (q.closing || q.count >= q.ring.size() || q.free_buffers.empty()) return nullptr;
  uint8_t *buffer = q.free_buffers.back();
  q.free_buffers.pop_back();
  return buffer;
}

static void push(Queue &q, const Entry &e) {
  bool wake;
  {
    std::lock_guard<std::mutex> hold(q.lock);
    q.ring[(q.head + q.count) % q.ring.size()] = e;
    wake = ++q.count == kWakeBatch;
  }
  if (wake) q.ready.notify_one();
}

// Queues a frame the driver delivered in `data`. The driver fills buffers of
// the pool, so the frame itself is queued and the driver gets a fresh buffer
// for the next one; should it have used another buffer, the frame is copied.
// With no free buffer the frame is dropped and the driver reuses its buffer.
static void offer_frame(Recording *rec, freenect_device *dev, Entry e, void *data) {
  const bool depth = e.kind == 'd';
  uint8_t **filling = depth ? &rec->depth_buffer : &rec->video_buffer;
  uint8_t *fresh = take_buffer(rec->queue);
  if (!fresh) {
    rec->dropped++;
    return;
  }
  const int handed_over = data == *filling ? (depth ? freenect_set_depth_buffer(dev, fresh)
                                                    : freenect_set_video_buffer(dev, fresh))
                                           : -1;
  if (handed_over == 0) {
    e.frame = *filling;
    *filling = fresh;
  } else {
    memcpy(fresh, data, depth ? kDepthBytes : kVideoBytes);
    e.frame = fresh;
  }
  // Only this thread adds entries, so the room take_buffer found is still there.
  push(rec->queue, e);
}

// ---------------------------------------------------------------- threads

// The writer thread: writes entries in order until the queue is closed and
// empty. After a failure it keeps taking entries, discarding them, so their
// buffers come back.
static void write_entries(Recording *rec) {
  Queue &q = rec->queue;
  for (;;) {
    Entry e;
    {
      std::unique_lock<std::mutex> hold(q.lock);
      if (q.count == 0 && !q.closing)
        q.ready.wait_for(hold, std::chrono::milliseconds(kWriterNapMs));
      if (q.count == 0 && q.closing) return;
      if (q.count == 0) continue;
      e = q.ring[q.head];
      q.head = (q.head + 1) % q.ring.size();
      q.count--;
    }
    if (rec->write_failed.load()) {
      rec->writer.discarded++;
    } else if (!write_entry(&rec->writer, e)) {
      rec->writer.discarded++;
      rec->write_failed.store(true);
    }
    if (e.frame) {
      std::lock_guard<std::mutex> hold(q.lock);
      q.free_buffers.push_back(e.frame);
    }
  }
}

static void on_depth(freenect_device *dev, void *depth, uint32_t timestamp) {
  Recording *rec = (Recording *)freenect_get_user(dev);
  rec->depth_seen++;
  rec->last_depth_timestamp = timestamp;
  offer_frame(rec, dev, Entry{'d', wall_seconds(), timestamp, nullptr, {}}, depth);
}

static void on_video(freenect_device *dev, void *rgb, uint32_t timestamp) {
  Recording *rec = (Recording *)freenect_get_user(dev);
  rec->video_seen++;
  offer_frame(rec, dev, Entry{'r', wall_seconds(), timestamp, nullptr, {}}, rgb);
}

// Reads the motor and accelerometer state and queues it. The read is a
// blocking control transfer, so it runs from the event loop, not a callback.
// A state that cannot be read is an entry lost: counted with the reason, and
// reported on standard error the first time, so that a long session shows it
// at once; the next depth frame tries again.
static void record_tilt(Recording *rec, freenect_device *dev) {
  const int status = freenect_update_tilt_state(dev);
  const freenect_raw_tilt_state *state = status < 0 ? nullptr : freenect_get_tilt_state(dev);
  if (!state) {
    rec->tilt_failure = status < 0 ? "freenect_update_tilt_state returned " + std::to_string(status)
                                   : std::string("the driver holds no state");
    if (rec->tilt_unread++ == 0) {
      fprintf(stderr, "scenereel: cannot read the accelerometer (%s); recording on without it\n",
              rec->tilt_failure.c_str());
    }
    return;
  }
  Entry e{'a', wall_seconds(), rec->last_depth_timestamp, nullptr, {}};
  memset(&e.tilt, 0, sizeof e.tilt);  // the padding byte is written too: keep it 0
  e.tilt.accelerometer_x = state->accelerometer_x;
  e.tilt.accelerometer_y = state->accelerometer_y;
  e.tilt.accelerometer_z = state->accelerometer_z;
  e.tilt.tilt_angle = state->tilt_angle;
  e.tilt.tilt_status = state->tilt_status;
  Queue &q = rec->queue;
  bool room;
  {
    std::lock_guard<std::mutex> hold(q.lock);
    room = !q.closing && q.count < q.ring.size();
  }
  if (room) {
    push(q, e);
  } else {
    rec->dropped++;
  }
}

// One stream as the event loop watches it for silence.
struct Watch {
  const char *stream;   // "depth" or "video", for the messages
  long seen = 0;        // frames received when last looked at
  double since = 0;     // seconds into the recording of the last frame (or of the start)
  bool warned = false;  // this silence has been reported
};

// Looks at a stream after a pass of the event loop, `seen` being its frames so
// far and `now` the seconds into the recording: reports a silence once it has
// lasted kQuietWarnSeconds, and its length when frames come again.
static void watch_stream(Watch *w, long seen, double now) {
  const double silent = now - w->since;
  if (seen != w->seen) {
    if (w->warned || silent >= kQuietWarnSeconds) {
      fprintf(stderr, "scenereel: %s frames again after %.1f s without one\n", w->stream, silent);
    }
    *w = Watch{w->stream, seen, now, false};
  } else if (!w->warned && silent >= kQuietWarnSeconds) {
    fprintf(stderr, "scenereel: no %s frame for %.1f s; still recording\n", w->stream, silent);
    w->warned = true;
  }
}

static void request_stop(int sig) {
  (void)sig;
  stop_requested = 1;
}

// ---------------------------------------------------------------- main

// Opens device `index` with its camera and motor and sets the two modes;
// prints why not and returns null on failure.
static freenect_device *open_kinect(freenect_context *ctx, int index) {
  freenect_select_subdevices(
      ctx, (freenect_device_flags)(FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA));
  const int count = freenect_num_devices(ctx);
  if (count <= index) {
    fprintf(stderr, "scenereel: no Kinect with index %d (%d found)\n", index,
            count < 0 ? 0 : count);
    return nullptr;
  }
  freenect_device *dev = nullptr;
  if (freenect_open_device(ctx, &dev, index) < 0) {
    fprintf(stderr, "scenereel: cannot open Kinect %d\n", index);
    return nullptr;
  }
  const freenect_frame_mode depth =
      freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_11BIT);
  const freenect_frame_mode video =
      freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  if (!depth.is_valid || !video.is_valid || freenect_set_depth_mode(dev, depth) < 0 ||
      freenect_set_video_mode(dev, video) < 0) {
    fprintf(stderr, "scenereel: Kinect %d refuses 640 x 480 11-bit depth and RGB\n", index);
    freenect_close_device(dev);
    return nullptr;
  }
  return dev;
}

int main(int argc, char **argv) {
  ensure_standard_descriptors();
  signal(SIGPIPE, SIG_IGN);  // a closed stdout must not end a recording unfinished

  Options opts;
  if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (!parse_options(argc, argv, &opts)) return kUsageStatus;
  if (!dir_is_free(opts.dir)) return kUsageStatus;

  struct sigaction stop = {};
  stop.sa_handler = request_stop;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);

  freenect_context *ctx = nullptr;
  if (freenect_init(&ctx, nullptr) < 0) {
    fprintf(stderr, "scenereel: cannot start the Kinect driver\n");
    return 1;
  }
  freenect_device *dev = open_kinect(ctx, opts.device);
  if (!dev) {
    freenect_shutdown(ctx);
    return 1;
  }

  // The streams start before the folder is made, so that a Kinect that does
  // not stream leaves nothing behind; frames only arrive in the event loop.
  Recording rec;
  rec.queue.ring.resize(kQueueEntries);
  // Allocated untouched: only the buffers the queue actually fills take memory.
  // They outlive the driver, which fills two of them.
  std::vector<std::unique_ptr<uint8_t[]>> buffers;
  for (size_t i = 0; i < kFrameBuffers; i++) {
    buffers.emplace_back(new uint8_t[kVideoBytes]);
    rec.queue.free_buffers.push_back(buffers.back().get());
  }
  rec.depth_buffer = take_buffer(rec.queue);
  rec.video_buffer = take_buffer(rec.queue);
  freenect_set_depth_buffer(dev, rec.depth_buffer);
  freenect_set_video_buffer(dev, rec.video_buffer);
  freenect_set_user(dev, &rec);
  freenect_set_depth_callback(dev, on_depth);
  freenect_set_video_callback(dev, on_video);
  if (freenect_start_depth(dev) < 0 || freenect_start_video(dev) < 0) {
    fprintf(stderr, "scenereel: Kinect %d does not start its depth and video streams\n",
            opts.device);
    freenect_shutdown(ctx);
    return 1;
  }
  if (!create_recording(opts.dir, &rec.writer)) {
    freenect_shutdown(ctx);
    return 1;
  }

  // The writer blocks the stop signals, so they reach the event loop.
  sigset_t stop_signals, previous;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
  std::thread writer;
  try {
    writer = std::thread(write_entries, &rec);
  } catch (const std::system_error &e) {
    fprintf(stderr, "scenereel: cannot start the writer thread: %s\n", e.what());
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  const bool failed = !writer.joinable();

  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  long tilt_read_for = 0;  // depth frames seen when the state was last read
  Watch depth_watch{"depth"}, video_watch{"video"};
  bool lost = false;
  while (!failed && !stop_requested && !rec.write_failed.load()) {
    timeval timeout = {0, kPumpTimeoutUs};
    if (freenect_process_events_timeout(ctx, &timeout) < 0) {
      lost = !stop_requested;  // a signal may interrupt the driver's wait
      break;
    }
    if (rec.depth_seen != tilt_read_for) {
      record_tilt(&rec, dev);
      tilt_read_for = rec.depth_seen;
    }
    const double now = elapsed();
    watch_stream(&depth_watch, rec.depth_seen, now);
    watch_stream(&video_watch, rec.video_seen, now);
    if (opts.frames && rec.depth_seen >= opts.frames) break;
    if (opts.seconds && elapsed() >= opts.seconds) break;
  }
  const double seconds = elapsed();

  freenect_stop_depth(dev);
  freenect_stop_video(dev);
  freenect_shutdown(ctx);  // closes the device too
  if (writer.joinable()) {
    {
      std::lock_guard<std::mutex> hold(rec.queue.lock);
      rec.queue.closing = true;
    }
    rec.queue.ready.notify_one();
    writer.join();
  }
  close(rec.writer.index_fd);
  close(rec.writer.dir_fd);

  const Writer &w = rec.writer;
  for (const Watch *watch : {&depth_watch, &video_watch}) {
    if (seconds - watch->since >= kQuietWarnSeconds) {
      fprintf(stderr, "scenereel: no %s frame in the last %.1f s of the recording\n", watch->stream,
              seconds - watch->since);
    }
  }
  if (lost) fprintf(stderr, "scenereel: lost the Kinect: the driver stopped delivering\n");
  if (!w.error.empty()) {
    fprintf(stderr, "scenereel: %s/%s; the recording ends at its last listed entry\n",
            opts.dir.c_str(), w.error.c_str());
  }
  const long dropped = rec.dropped + rec.tilt_unread + w.discarded;
  if (rec.dropped > 0) {
    fprintf(stderr, "scenereel: %ld entries dropped: the disk did not keep up\n", rec.dropped);
  }
  if (rec.tilt_unread > 0) {
    fprintf(stderr,
            "scenereel: %ld accelerometer entries dropped: the state could not be read (%s)\n",
            rec.tilt_unread, rec.tilt_failure.c_str());
  }
  printf(
      "scenereel: %ld depth, %ld video, %ld accelerometer entries written, %ld entries dropped, "
      "%llu bytes, %.2f s\n",
      w.written[0], w.written[1], w.written[2], dropped, w.bytes, seconds);
  return failed || lost || !w.error.empty() ? 1 : 0;
}
