// streamcheck: a smoke test of the camera side of a Kinect. It opens device 0
// with only the camera selected, streams depth and video, prints one line per
// frame that arrives and shuts down cleanly on SIGINT, SIGTERM or SIGQUIT.
#include <libfreenect.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>

// True while streaming. Cleared by signalHandler; read by the event loop in
// main before every pass. A lock-free one-byte atomic is safe to write from a
// signal handler and is re-read from memory at every test.
static std::atomic<bool> running{true};
static_assert(std::atomic<bool>::is_always_lock_free, "running must be signal-safe");

constexpr int kDeviceIndex = 0;  // always the first device, whatever the count

static void signalHandler(int sig) {
  if (sig == SIGINT || sig == SIGQUIT || sig == SIGTERM) running = false;
}

// Frame callbacks, called inside freenect_process_events on the main thread.
// The timestamp is printed as a signed decimal, as the driver's users expect.
static void depth_cb(freenect_device * /*dev*/, void * /*depth*/, uint32_t timestamp) {
  printf("Received depth frame at %d\n", (int)timestamp);
}

static void video_cb(freenect_device * /*dev*/, void * /*rgb*/, uint32_t timestamp) {
  printf("Received video frame at %d\n", (int)timestamp);
}

int main(int /*argc*/, char ** /*argv*/) {
  // Every line goes out as it is made, also into pipes and files.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  signal(SIGINT, signalHandler);
  signal(SIGTERM, signalHandler);
  signal(SIGQUIT, signalHandler);

  freenect_context *f_ctx = nullptr;
  int ret = freenect_init(&f_ctx, nullptr);
  if (ret < 0) return ret;
  freenect_set_log_level(f_ctx, FREENECT_LOG_DEBUG);
  freenect_select_subdevices(f_ctx, FREENECT_DEVICE_CAMERA);

  int num_devices = freenect_num_devices(f_ctx);
  if (num_devices < 0) {
    freenect_shutdown(f_ctx);
    return num_devices;
  }
  if (num_devices == 0) {
    puts("No device found!");
    freenect_shutdown(f_ctx);
    return 1;
  }

  // From here on a failing call ends the program; freenect_shutdown also
  // releases the device if it was opened.
  freenect_device *f_dev = nullptr;
  ret = freenect_open_device(f_ctx, &f_dev, kDeviceIndex);
  if (ret < 0) {
    freenect_shutdown(f_ctx);
    return ret;
  }
  freenect_frame_mode depth_mode =
      freenect_find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_MM);
  ret = freenect_set_depth_mode(f_dev, depth_mode);
  if (ret < 0) {
    freenect_shutdown(f_ctx);
    return ret;
  }
  freenect_frame_mode video_mode =
      freenect_find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  ret = freenect_set_video_mode(f_dev, video_mode);
  if (ret < 0) {
    freenect_shutdown(f_ctx);
    return ret;
  }
  freenect_set_depth_callback(f_dev, depth_cb);
  freenect_set_video_callback(f_dev, video_cb);
  ret = freenect_start_depth(f_dev);
  if (ret < 0) {
    freenect_shutdown(f_ctx);
    return ret;
  }
  ret = freenect_start_video(f_dev);
  if (ret < 0) {
    freenect_shutdown(f_ctx);
    return ret;
  }

  // A signal that arrives while freenect_process_events blocks takes effect
  // when the call returns; a failing call ends streaming like a signal.
  while (running && freenect_process_events(f_ctx) >= 0) {
  }

  puts("Shutting down");
  freenect_stop_depth(f_dev);
  freenect_stop_video(f_dev);
  freenect_close_device(f_dev);
  freenect_shutdown(f_ctx);
  puts("Done!");
  return 0;
}
