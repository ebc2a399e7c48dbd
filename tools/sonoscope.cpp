// sonoscope: a waveform viewer for the Kinect's four microphones.
//
// A device thread pumps libfreenect events; its audio-in callback copies every
// delivery into four ring buffers. The main thread runs the GLUT loop and, once
// new samples have arrived, draws the most recent 15360 samples of each
// microphone as four stacked white traces, oldest sample on the left.
// Keys: space freezes and unfreezes the view, 'q' quits.

#include <GL/glut.h>
#include <libfreenect.h>
#include <libfreenect_audio.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// ---------------------------------------------------------------- state

constexpr int kMics = 4;                     // microphones on a Kinect
constexpr int kRingLen = 15360;              // samples kept per microphone
constexpr double kFullScale = 2147483647.0;  // largest signed 32-bit sample
constexpr int kWindowW = 800;                // initial window size, pixels
constexpr int kWindowH = 600;
constexpr int kSampleWaitMs = 100;  // longest a draw waits for samples before keys get their turn

// The sample rings, shared by the device thread (writer) and the main thread
// (reader); every field and the rings' contents are guarded by audiobuf_mutex.
struct audiobuf {
  int32_t *rings[kMics];  // microphone 1..4, ring_len samples each, zero-filled
  int ring_len;           // samples per ring
  int write_pos;          // where the next sample goes; once full, the oldest sample
  int fresh;              // 1: samples stored since the last drawn frame
};

static audiobuf state;  // the rings; guarded by audiobuf_mutex
static pthread_mutex_t audiobuf_mutex = PTHREAD_MUTEX_INITIALIZER;  // guards state, device_stopped
// Signalled after every stored delivery, and when the device thread ends.
static pthread_cond_t audiobuf_cond = PTHREAD_COND_INITIALIZER;
// 1 once the device thread has left its loop and released the device: no
// samples come any more. Written by the device thread, read by the main
// thread, under audiobuf_mutex.
static int device_stopped = 0;

// The rings in drawing order (oldest sample first), copied under the lock so
// that drawing does not hold it. Main thread only.
static int32_t *view[kMics];

static int paused = 0;  // non-zero: the view is frozen; main thread only
// 1 while a timer polls for samples because none came within kSampleWaitMs
// (audio did not start); main thread only.
static int polling_for_samples = 0;
static std::atomic<int> die{0};    // 1: the device thread stops; set by the main thread
static int win_w = 0, win_h = 0;   // window size in pixels; main thread only
static int window;                 // GLUT window id
static pthread_t freenect_thread;  // the device thread

static freenect_context *f_ctx = nullptr;  // driver context
static freenect_device *f_dev = nullptr;   // the open audio device

// ---------------------------------------------------------------- helpers

// Allocates the zero-filled rings and the drawing copy; false when memory
// ran out (what was allocated stays for free_buffers).
static bool alloc_buffers() {
  for (int k = 0; k < kMics; k++) {
    state.rings[k] = (int32_t *)calloc(state.ring_len, sizeof(int32_t));
    view[k] = (int32_t *)malloc(state.ring_len * sizeof(int32_t));
    if (!state.rings[k] || !view[k]) return false;
  }
  return true;
}

static void free_buffers() {
  for (int k = 0; k < kMics; k++) {
    free(state.rings[k]);
    free(view[k]);
    state.rings[k] = nullptr;
    view[k] = nullptr;
  }
}

// The moment `ms` milliseconds from now, for pthread_cond_timedwait.
static timespec deadline_after(int ms) {
  timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  t.tv_nsec += (long)ms * 1000000;
  t.tv_sec += t.tv_nsec / 1000000000;
  t.tv_nsec %= 1000000000;
  return t;
}

// Copies the rings into view[], starting at the oldest sample `start`.
// Called with audiobuf_mutex held.
static void copy_rings(int start) {
  const int tail = state.ring_len - start;
  for (int k = 0; k < kMics; k++) {
    memcpy(view[k], state.rings[k] + start, tail * sizeof(int32_t));
    memcpy(view[k] + tail, state.rings[k], start * sizeof(int32_t));
  }
}

// ---------------------------------------------------------------- device thread

// Stores one delivery in the rings. A delivery longer than the rings keeps its
// newest ring_len samples; a negative count is ignored.
static void in_callback(freenect_device *dev, int num_samples, int32_t *mic1, int32_t *mic2,
                        int32_t *mic3, int32_t *mic4, int16_t *cancelled, void *unknown) {
  (void)cancelled;
  (void)unknown;
  if (num_samples < 0) return;
  int32_t *const mics[kMics] = {mic1, mic2, mic3, mic4};

  pthread_mutex_lock(&audiobuf_mutex);
  audiobuf *buf = (audiobuf *)freenect_get_user(dev);
  int n = num_samples;
  int skip = 0;  // oldest samples of the delivery that do not fit
  if (n > buf->ring_len) {
    skip = n - buf->ring_len;
    n = buf->ring_len;
  }
  const int room = buf->ring_len - buf->write_pos;
  const int first = n < room ? n : room;  // samples stored before wrapping to index 0
  for (int k = 0; k < kMics; k++) {
    const int32_t *src = mics[k] + skip;
    memcpy(buf->rings[k] + buf->write_pos, src, first * sizeof(int32_t));
    memcpy(buf->rings[k], src + first, (n - first) * sizeof(int32_t));
  }
  buf->fresh = 1;
  buf->write_pos = (buf->write_pos + n) % buf->ring_len;
  pthread_cond_signal(&audiobuf_cond);
  pthread_mutex_unlock(&audiobuf_mutex);
}

// Pumps driver events until told to stop or the driver fails, then releases
// the device and tells the renderer that nothing more will come.
static void *freenect_threadfunc(void *arg) {
  (void)arg;
  while (!die) {
    if (freenect_process_events(f_ctx) < 0) break;
  }
  freenect_stop_audio(f_dev);
  freenect_close_device(f_dev);
  freenect_shutdown(f_ctx);

  pthread_mutex_lock(&audiobuf_mutex);
  device_stopped = 1;
  pthread_cond_signal(&audiobuf_cond);
  pthread_mutex_unlock(&audiobuf_mutex);
  return nullptr;
}

// ---------------------------------------------------------------- GLUT callbacks

static void DrawMicData();

// Timer while no samples come: resumes drawing from the idle callback once
// samples are waiting (unless the view is frozen: unfreezing resumes it),
// else looks again after kSampleWaitMs; stops once the device thread has ended.
static void check_for_samples(int value) {
  (void)value;
  pthread_mutex_lock(&audiobuf_mutex);
  const int waiting = state.fresh, ended = device_stopped;
  pthread_mutex_unlock(&audiobuf_mutex);
  if (waiting && !paused) glutIdleFunc(DrawMicData);
  if (waiting || ended) {
    polling_for_samples = 0;
    return;
  }
  glutTimerFunc(kSampleWaitMs, check_for_samples, 0);
}

// Display and idle callback: waits for new samples, then draws the four
// traces. Zero lines lie at 1/8, 3/8, 5/8 and 7/8 of the height; full scale
// moves a trace by a quarter of the height, positive samples downward.
static void DrawMicData() {
  if (paused) return;

  pthread_mutex_lock(&audiobuf_mutex);
  const timespec deadline = deadline_after(kSampleWaitMs);
  int waited = 0;
  while (!state.fresh && !device_stopped && waited != ETIMEDOUT)
    waited = pthread_cond_timedwait(&audiobuf_cond, &audiobuf_mutex, &deadline);
  // Nothing new within kSampleWaitMs (audio did not start), or the device
  // has stopped and nothing new will ever come: draw the rings as they are.
  const bool stalled = !state.fresh;
  const bool ended = device_stopped;
  state.fresh = 0;
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const int start = state.write_pos;
  const float dx = (float)win_w / (float)state.ring_len;
  copy_rings(start);
  pthread_mutex_unlock(&audiobuf_mutex);

  // Redraw from now on only when GLUT asks (expose, resize), so that the
  // loop sleeps and still handles keys; a timer resumes the drawing when
  // samples come after all.
  if (stalled) {
    glutIdleFunc(nullptr);
    if (!ended && !polling_for_samples) {
      polling_for_samples = 1;
      glutTimerFunc(kSampleWaitMs, check_for_samples, 0);
    }
  }

  for (int c = 0; c < kMics; c++) {
    const int k = 2 * c + 1;  // zero line at k/8 of the height
    glBegin(GL_LINE_STRIP);
    glColor4f(1, 1, 1, 0.7f);
    float x = 0;
    for (int i = 0; i < state.ring_len; i++) {
      const float s = (float)view[c][i];
      const double y =
          (double)(s * (0.25f * (float)win_h)) / kFullScale + (double)((float)win_h * k) * 0.125;
      glVertex3f(x, (float)y, 0);
      x += dx;
    }
    glEnd();
  }
  glutSwapBuffers();
}

// One unit per pixel, origin at the top-left corner, y downward.
static void Reshape(int width, int height) {
  win_w = width;
  win_h = height;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, (float)width, (float)height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

static void Keyboard(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == 'q') {
    if (die) return;  // a second 'q' queued behind the first
    die = 1;
    pthread_join(freenect_thread, nullptr);
    glutDestroyWindow(window);
  } else if (key == ' ') {
    paused = !paused;
    // While frozen the loop sleeps instead of spinning; unfrozen, the next
    // idle turn draws the rings at once.
    glutIdleFunc(paused ? nullptr : DrawMicData);
  }
}

// ---------------------------------------------------------------- main

int main(int argc, char **argv) {
  // Lines reach a pipe or a log as they are printed.
  setvbuf(stdout, nullptr, _IOLBF, 0);

  if (freenect_init(&f_ctx, nullptr) < 0) {
    puts("freenect_init() failed");
    return 1;
  }
  freenect_set_log_level(f_ctx, FREENECT_LOG_INFO);
  freenect_select_subdevices(f_ctx, FREENECT_DEVICE_AUDIO);

  const int nr_devices = freenect_num_devices(f_ctx);
  printf("Number of devices found: %d\n", nr_devices);
  if (nr_devices < 1) {
    freenect_shutdown(f_ctx);
    return 1;
  }
  if (freenect_open_device(f_ctx, &f_dev, 0) < 0) {
    puts("Could not open device");
    freenect_shutdown(f_ctx);
    return 1;
  }

  state.ring_len = kRingLen;
  state.write_pos = 0;
  if (!alloc_buffers()) {
    puts("Could not allocate the sample buffers");
    free_buffers();
    freenect_shutdown(f_ctx);  // closes the device too
    return 1;
  }

  freenect_set_user(f_dev, &state);
  freenect_set_audio_in_callback(f_dev, in_callback);
  freenect_start_audio(f_dev);

  if (pthread_create(&freenect_thread, nullptr, freenect_threadfunc, nullptr)) {
    puts("pthread_create failed");
    freenect_shutdown(f_ctx);  // stops audio and closes the device too
    free_buffers();
    return 1;
  }

  puts(
      "This is the libfreenect microphone waveform viewer.  Press 'q' to quit or spacebar to "
      "pause/unpause the view.");

  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(kWindowW, kWindowH);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("Microphones");

  glClearColor(0, 0, 0, 0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  Reshape(kWindowW, kWindowH);

  glutReshapeFunc(Reshape);
  glutDisplayFunc(DrawMicData);
  glutIdleFunc(DrawMicData);
  glutKeyboardFunc(Keyboard);
  glutMainLoop();
  return 0;
}
