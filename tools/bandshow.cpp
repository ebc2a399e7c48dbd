// bandshow: a depth viewer for the Kinect, fed by chunked depth data.
//
// The device thread asks the driver for the packed 11-bit depth stream at
// 640 x 480 and decodes every USB packet as it arrives: from each packet it
// keeps one whole source row and every second pixel of it, so the finished
// frame is already a 320 x 240 array of depth values. depth_cb then colours
// that frame in six bands from near to far into an RGB image, which the main
// thread (GLUT) shows stretched over a 320 x 240 window.
// Keys: 'w' tilt up, 'x' tilt down, 's' level, '0'-'6' LED mode, ESC quit.

#include <GL/glut.h>
#include <endian.h>
#include <libfreenect.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// ---------------------------------------------------------------- state

constexpr int kOutW = 320;                                  // values per output row
constexpr int kOutH = 240;                                  // output rows
constexpr int kOutPixels = kOutW * kOutH;                   // 76800 depth values per frame
constexpr size_t kImageBytes = (size_t)kOutPixels * 3;      // RGB image, 8 bits a channel
constexpr int kDepthValues = 2048;                          // distinct 11-bit depth values
constexpr uint16_t kDepthMask = 0x7FF;                      // the 11 bits of a depth value
constexpr int kPackedRowBytes = 880;                        // one source row: 640 px x 11 bits
constexpr int kPacketBytes = 1748;                          // stream bytes carried by one packet
constexpr int kLastPacket = 241;                            // packets 0..241 make one frame
constexpr int kGroupBytes = 11;                             // 8 pixels of 11 bits
constexpr int kUnitBytes = 2 * kGroupBytes;                 // two groups give 8 output values
constexpr int kUnitsPerRow = kPackedRowBytes / kUnitBytes;  // 40
constexpr int kBandFirstBlack = 1536;                       // table values from here are black
constexpr int kAccelEvery = 2001;                           // event-loop turns per accel line
constexpr int kMaxTilt = 30;                                // tilt limit, degrees either way
constexpr int kFrameWaitMs = 100;  // longest a draw waits for a frame before keys get their turn

// Band position (0 to 9202) of every 11-bit depth value; filled by main.
static uint16_t t_gamma[kDepthValues];
// The colour of every 11-bit depth value (R, G, B and a pad byte, so that a
// pixel is written with one 4-byte store), derived once from t_gamma and the
// band rule: colouring a frame is one look-up per pixel. Filled by main, then
// read-only.
static uint8_t depth_rgb[kDepthValues][4];

// The image depth_cb writes and the image DrawGLScene uploads; the two
// allocations trade roles at every draw. Guarded by gl_backbuf_mutex (the
// main thread reads depth_front without it after a swap: the device thread
// only writes through depth_mid).
static uint8_t *depth_mid, *depth_front;
// Frames converted since the last draw; guarded by gl_backbuf_mutex.
static int got_depth = 0;
// 1 once the device thread has left its loop and released the device, so no
// frame comes any more. Written by the device thread, read by the main
// thread, under gl_backbuf_mutex.
static int device_stopped = 0;
static pthread_mutex_t gl_backbuf_mutex = PTHREAD_MUTEX_INITIALIZER;
// Signalled once per converted frame and when the device thread ends.
static pthread_cond_t gl_frame_cond = PTHREAD_COND_INITIALIZER;

static GLuint gl_depth_tex;  // the one texture; main thread only
// 1 while a timer polls for the next frame because none came within
// kFrameWaitMs (the stream did not start); main thread only.
static int polling_for_frame = 0;
static int window;  // GLUT window id
static int g_argc;  // main's arguments, for glutInit
static char **g_argv;

static freenect_context *f_ctx;  // driver context
// The open device, used by both threads; null once the device thread has
// closed it. Set by main before the device thread starts; from then on the
// device thread clears it, and the key handler reads it, under f_dev_mutex.
static freenect_device *f_dev;
// Held by the key handler around its tilt and LED calls and by the device
// thread while it closes the device, so that no key reaches a closed device.
// Never taken inside a driver callback: a key's control transfer may need the
// device thread's event loop to complete.
static pthread_mutex_t f_dev_mutex = PTHREAD_MUTEX_INITIALIZER;
// Requested tilt in degrees, within -30..30. Written by the key handler;
// the device thread reads it once, at its start.
static std::atomic<int> freenect_angle{0};
// 1: the device thread stops. Set by the main thread (ESC), read by the
// device thread before every turn of its event loop.
static std::atomic<int> die{0};
static pthread_t freenect_thread;  // the device thread

// ---------------------------------------------------------------- helpers

// The cube law: table value = (i / 2048)^3 x 6 x 6 x 256, each step rounded
// to single precision, then truncated.
static void fill_gamma() {
  for (int i = 0; i < kDepthValues; i++) {
    float t = powf((float)i / (float)kDepthValues, 3.0f);
    t = t * 6;
    t = t * 6;
    t = t * 256;
    t_gamma[i] = (uint16_t)t;
  }
}

static void set_rgb(uint8_t *c, int r, int g, int b) {
  c[0] = (uint8_t)r;
  c[1] = (uint8_t)g;
  c[2] = (uint8_t)b;
}

// Six bands of 256 table values each, from near to far: white fading to red,
// red to yellow, yellow to green, green to cyan, cyan to blue, blue fading to
// black; everything beyond is black.
static void fill_colour_table() {
  for (int d = 0; d < kDepthValues; d++) {
    const int p = t_gamma[d];
    const int lb = p & 0xFF;
    uint8_t *c = depth_rgb[d];
    if (p >= kBandFirstBlack) {
      set_rgb(c, 0, 0, 0);
      continue;
    }
    switch (p >> 8) {
      case 0:
        set_rgb(c, 255, 255 - lb, 255 - lb);
        break;
      case 1:
        set_rgb(c, 255, lb, 0);
        break;
      case 2:
        set_rgb(c, 255 - lb, 255, 0);
        break;
      case 3:
        set_rgb(c, 0, 255, lb);
        break;
      case 4:
        set_rgb(c, 0, 255 - lb, 255);
        break;
      default:
        set_rgb(c, 0, 0, 255 - lb);
        break;  // band 5
    }
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

static void free_images() {
  free(depth_mid);
  free(depth_front);
  depth_mid = depth_front = nullptr;
}

static void print_accel() {
  freenect_update_tilt_state(f_dev);
  freenect_raw_tilt_state *state = freenect_get_tilt_state(f_dev);
  double dx, dy, dz;
  freenect_get_mks_accel(state, &dx, &dy, &dz);
  printf("\r raw acceleration: %4d %4d %4d  mks acceleration: %4f %4f %4f", state->accelerometer_x,
         state->accelerometer_y, state->accelerometer_z, dx, dy, dz);
  fflush(stdout);
}

// ---------------------------------------------------------------- device thread

// Decodes one packed source row (880 bytes) into 320 values: pixels 0, 2, 4
// and 6 of every 11-byte group g0..g10 of 8 pixels, most significant bit
// first; odd pixels are dropped:
//   pixel 0: (g0 << 3) | (g1 >> 5)
//   pixel 2: ((g2 << 9) | (g3 << 1) | (g4 >> 7)) & 0x7FF
//   pixel 4: ((g5 << 7) | (g6 >> 1)) & 0x7FF
//   pixel 6: ((g8 << 5) | (g9 >> 3)) & 0x7FF
// The first three are taken from g0..g7 read as one big-endian word, in which
// pixel p occupies the 11 bits below bit 64 - 11 p; that is a third faster
// than assembling them byte by byte.
static void decode_row(const uint8_t *src, uint16_t *out) {
  for (int unit = 0; unit < kUnitsPerRow; unit++) {
    for (int half = 0; half < 2; half++) {
      const uint8_t *g = src + half * kGroupBytes;
      uint64_t w;
      memcpy(&w, g, sizeof w);
      w = be64toh(w);
      out[0] = (uint16_t)(w >> 53);
      out[1] = (uint16_t)((w >> 31) & kDepthMask);
      out[2] = (uint16_t)((w >> 9) & kDepthMask);
      out[3] = (uint16_t)(((g[8] << 5) | (g[9] >> 3)) & kDepthMask);
      out += 4;
    }
    src += kUnitBytes;
  }
}

// Packet n carries stream bytes from 1748 n on. It holds at least one whole
// source row; the row kept is chosen so that packets 0..241 fill the output
// rows 0..239 once each (packets 73 and 146 add nothing new). A packet number
// outside the frame, or a payload too short for its row, is ignored.
static void chunk_cb(void *buffer, void *pkt_data, int pkt_num, int datalen, void *user_data) {
  (void)user_data;
  const int n = pkt_num;
  if (n == 73 || n == 146) return;
  if (n < 0 || n > kLastPacket) return;
  int src_row, out_row;
  if (n >= 220) {
    src_row = 2 * n - 3;
    out_row = n - 2;
  } else if (n >= 147) {
    src_row = 2 * n - 2;
    out_row = n - 2;
  } else if (n <= 72) {
    src_row = 2 * n;
    out_row = n;
  } else {
    src_row = 2 * n - 1;
    out_row = n - 1;
  }
  const int start = kPackedRowBytes * src_row - kPacketBytes * n;  // row's offset in the payload
  if (datalen < start + kPackedRowBytes) return;
  decode_row((const uint8_t *)pkt_data + start, (uint16_t *)buffer + kOutW * out_row);
}

// Colours a finished 320 x 240 frame into depth_mid. The values are masked to
// 11 bits so that a row left stale by an ignored packet cannot index past the
// table.
static void depth_cb(freenect_device *dev, void *v_depth, uint32_t timestamp) {
  (void)dev;
  (void)timestamp;
  const uint16_t *depth = (const uint16_t *)v_depth;
  pthread_mutex_lock(&gl_backbuf_mutex);
  uint8_t *out = depth_mid;
  // Each 4-byte store's pad byte is overwritten by the next pixel; the last
  // pixel is written with 3 bytes, so nothing lands past the image.
  for (int k = 0; k < kOutPixels - 1; k++) memcpy(out + 3 * k, depth_rgb[depth[k] & kDepthMask], 4);
  memcpy(out + 3 * (kOutPixels - 1), depth_rgb[depth[kOutPixels - 1] & kDepthMask], 3);
  got_depth++;
  pthread_cond_signal(&gl_frame_cond);
  pthread_mutex_unlock(&gl_backbuf_mutex);
}

static void *freenect_threadfunc(void *arg) {
  (void)arg;
  freenect_set_tilt_degs(f_dev, (double)freenect_angle);
  freenect_set_led(f_dev, LED_RED);
  freenect_set_depth_callback(f_dev, depth_cb);
  freenect_set_depth_mode(
      f_dev, freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_11BIT_PACKED));
  freenect_set_depth_chunk_callback(f_dev, chunk_cb);
  freenect_start_depth(f_dev);

  puts("'w'-tilt up, 's'-level, 'x'-tilt down, '0'-'6'-select LED mode");

  int accel_countdown = kAccelEvery;
  while (!die) {
    if (freenect_process_events(f_ctx) < 0) break;
    if (--accel_countdown == 0) {
      print_accel();
      accel_countdown = kAccelEvery;
    }
  }

  puts("\nshutting down streams...");
  pthread_mutex_lock(&f_dev_mutex);
  freenect_stop_depth(f_dev);
  freenect_close_device(f_dev);
  f_dev = nullptr;
  pthread_mutex_unlock(&f_dev_mutex);
  freenect_shutdown(f_ctx);
  puts("-- done!");

  // Wake a draw that waits for a frame which can no longer come.
  pthread_mutex_lock(&gl_backbuf_mutex);
  device_stopped = 1;
  pthread_cond_broadcast(&gl_frame_cond);
  pthread_mutex_unlock(&gl_backbuf_mutex);
  return nullptr;
}

// ---------------------------------------------------------------- GLUT callbacks

static void DrawGLScene();

// Timer while no frame comes: resumes drawing from the idle callback once a
// frame is waiting, else looks again after kFrameWaitMs; stops once the
// device thread has ended.
static void check_for_frame(int value) {
  (void)value;
  pthread_mutex_lock(&gl_backbuf_mutex);
  const int waiting = got_depth, ended = device_stopped;
  pthread_mutex_unlock(&gl_backbuf_mutex);
  if (waiting) glutIdleFunc(DrawGLScene);
  if (waiting || ended) {
    polling_for_frame = 0;
    return;
  }
  glutTimerFunc(kFrameWaitMs, check_for_frame, 0);
}

// Display and idle callback: waits for a new frame, shows it. When none comes
// within kFrameWaitMs (the stream did not start, or the device thread has
// ended), it shows the last image again and stops redrawing from the idle
// callback, so that the loop sleeps and still handles keys; a timer resumes
// the drawing when frames come after all.
static void DrawGLScene() {
  pthread_mutex_lock(&gl_backbuf_mutex);
  const timespec deadline = deadline_after(kFrameWaitMs);
  int waited = 0;
  while (got_depth == 0 && !device_stopped && waited != ETIMEDOUT)
    waited = pthread_cond_timedwait(&gl_frame_cond, &gl_backbuf_mutex, &deadline);
  const int ended = device_stopped;
  if (got_depth) {
    uint8_t *tmp = depth_front;
    depth_front = depth_mid;
    depth_mid = tmp;
    got_depth = 0;
  } else {
    glutIdleFunc(nullptr);
    if (!ended && !polling_for_frame) {
      polling_for_frame = 1;
      glutTimerFunc(kFrameWaitMs, check_for_frame, 0);
    }
  }
  pthread_mutex_unlock(&gl_backbuf_mutex);

  glBindTexture(GL_TEXTURE_2D, gl_depth_tex);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, kOutW, kOutH, 0, GL_RGB, GL_UNSIGNED_BYTE, depth_front);

  glBegin(GL_TRIANGLE_FAN);
  glColor4f(1, 1, 1, 1);
  glTexCoord2f(0, 0);
  glVertex3f(0, 0, 0);
  glTexCoord2f(1, 0);
  glVertex3f(kOutW, 0, 0);
  glTexCoord2f(1, 1);
  glVertex3f(kOutW, kOutH, 0);
  glTexCoord2f(0, 1);
  glVertex3f(0, kOutH, 0);
  glEnd();

  glutSwapBuffers();
}

// One unit is one image pixel, y downward; the image is stretched to the window.
static void ReSizeGLScene(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kOutW, kOutH, 0, -1.0f, 1.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

static void InitGL(int width, int height) {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glShadeModel(GL_FLAT);

  glGenTextures(1, &gl_depth_tex);
  glBindTexture(GL_TEXTURE_2D, gl_depth_tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  ReSizeGLScene(width, height);
}

static void keyPressed(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  if (key == 27) {
    die = 1;
    pthread_join(freenect_thread, nullptr);
    glutDestroyWindow(window);
    free_images();
    exit(0);
  }
  const int angle = freenect_angle;
  if (key == 'w') freenect_angle = angle + 1 < kMaxTilt ? angle + 1 : kMaxTilt;
  if (key == 's') freenect_angle = 0;
  if (key == 'x') freenect_angle = angle - 1 > -kMaxTilt ? angle - 1 : -kMaxTilt;

  // After the device thread has ended on its own the device is closed: the
  // requested tilt still follows the keys, but nothing is sent.
  pthread_mutex_lock(&f_dev_mutex);
  if (!f_dev) {
    pthread_mutex_unlock(&f_dev_mutex);
    return;
  }
  if (key == '1') freenect_set_led(f_dev, LED_GREEN);
  if (key == '2') freenect_set_led(f_dev, LED_RED);
  if (key == '3') freenect_set_led(f_dev, LED_YELLOW);
  if (key == '4') freenect_set_led(f_dev, LED_BLINK_GREEN);
  if (key == '5') freenect_set_led(f_dev, LED_BLINK_GREEN);  // the same as '4'
  if (key == '6') freenect_set_led(f_dev, LED_BLINK_RED_YELLOW);
  if (key == '0') freenect_set_led(f_dev, LED_OFF);
  freenect_set_tilt_degs(f_dev, (double)freenect_angle);
  pthread_mutex_unlock(&f_dev_mutex);
}

static void gl_threadfunc() {
  puts("GL thread");

  glutInit(&g_argc, g_argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
  glutInitWindowSize(kOutW, kOutH);
  glutInitWindowPosition(0, 0);
  window = glutCreateWindow("LibFreenect");

  glutDisplayFunc(DrawGLScene);
  glutIdleFunc(DrawGLScene);
  glutReshapeFunc(ReSizeGLScene);
  glutKeyboardFunc(keyPressed);

  InitGL(kOutW, kOutH);
  glutMainLoop();
}

// ---------------------------------------------------------------- main

int main(int argc, char **argv) {
  // Lines reach a pipe or a log as they are printed.
  setvbuf(stdout, nullptr, _IOLBF, 0);

  // Zeroed, so that a window whose device fails before the first frame shows black.
  depth_mid = (uint8_t *)calloc(1, kImageBytes);
  depth_front = (uint8_t *)calloc(1, kImageBytes);
  if (!depth_mid || !depth_front) {
    puts("Could not allocate the depth images");
    free_images();
    return 1;
  }

  puts("Kinect camera test");

  fill_gamma();
  fill_colour_table();

  g_argc = argc;
  g_argv = argv;

  if (freenect_init(&f_ctx, nullptr) < 0) {
    puts("freenect_init() failed");
    free_images();
    return 1;
  }
  freenect_set_log_level(f_ctx, FREENECT_LOG_DEBUG);
  freenect_select_subdevices(
      f_ctx, (freenect_device_flags)(FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA));

  const int nr_devices = freenect_num_devices(f_ctx);
  printf("Number of devices found: %d\n", nr_devices);

  // Read with strtol, unvalidated (text that is not a number gives device 0);
  // a value beyond int is held at INT_MIN or INT_MAX, an index no device has,
  // instead of wrapping round to another device's index.
  int user_device_number = 0;
  if (argc > 1) {
    const long index = strtol(argv[1], nullptr, 10);
    user_device_number = index < INT_MIN ? INT_MIN : index > INT_MAX ? INT_MAX : (int)index;
  }

  if (nr_devices < 1) {
    freenect_shutdown(f_ctx);
    free_images();
    return 1;
  }
  if (freenect_open_device(f_ctx, &f_dev, user_device_number) < 0) {
    puts("Could not open device");
    freenect_shutdown(f_ctx);
    free_images();
    return 1;
  }
  if (pthread_create(&freenect_thread, nullptr, freenect_threadfunc, nullptr)) {
    puts("pthread_create failed");
    freenect_shutdown(f_ctx);
    free_images();
    return 1;
  }

  gl_threadfunc();
  return 0;
}
