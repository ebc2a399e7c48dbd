// Contexts, devices, sub-device selection, user data and logging.
#include <libfreenect.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config.hpp"
#include "device.hpp"
#include "frames.hpp"
#include "modes.hpp"
#include "trace.hpp"

using namespace ksim;

namespace {

constexpr int kAllSubdevices =
    FREENECT_DEVICE_MOTOR | FREENECT_DEVICE_CAMERA | FREENECT_DEVICE_AUDIO;

std::string serial_of(int index) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "KSIM%08d", index);
  return buf;
}

int open_device(freenect_context *handle, freenect_device **out, int index) {
  if (!out) return -1;
  std::lock_guard<std::mutex> hold(state_lock);
  Context *ctx = find_context(handle);
  if (!ctx || index < 0 || index >= config().devices || ctx->select == 0) return -1;
  for (const Device *d : ctx->devices) {
    if (d->index == index) return -1;  // already open
  }
  auto *dev = new Device;
  dev->ctx = ctx;
  dev->index = index;
  dev->subdevices = ctx->select;
  dev->depth_mode = find_depth_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_DEPTH_11BIT);
  dev->video_mode = find_video_mode(FREENECT_RESOLUTION_MEDIUM, FREENECT_VIDEO_RGB);
  dev->tilt_state = motor_state(*dev);
  *out = add_device(dev);
  return 0;
}

void free_attributes(struct freenect_device_attributes *list) {
  while (list) {
    freenect_device_attributes *next = list->next;
    std::free(const_cast<char *>(list->camera_serial));
    std::free(list);
    list = next;
  }
}

}  // namespace

extern "C" {

int freenect_init(freenect_context **ctx, freenect_usb_context *) {
  TraceLine t(__func__);
  return traced(t, [&] {
    if (!ctx) return -1;
    if (!source().error.empty()) {
      std::fprintf(stderr, "ksim: %s\n", source().error.c_str());
      return -1;
    }
    std::lock_guard<std::mutex> hold(state_lock);
    *ctx = add_context(new Context);
    return 0;
  });
}

int freenect_shutdown(freenect_context *handle) {
  TraceLine t(__func__);
  return traced(t, [&] {
    std::lock_guard<std::mutex> hold(state_lock);
    Context *ctx = find_context(handle);
    if (!ctx) return -1;
    remove_context(ctx);
    return 0;
  });
}

// The simulator logs nothing, so the level and the log callback change nothing.
void freenect_set_log_level(freenect_context *, freenect_loglevel level) {
  TraceLine(__func__).arg(level).end();
}

void freenect_set_log_callback(freenect_context *, freenect_log_cb cb) {
  TraceLine(__func__).arg_set(reinterpret_cast<void *>(cb)).end();
}

int freenect_num_devices(freenect_context *handle) {
  TraceLine t(__func__);
  return traced(t, [&] {
    std::lock_guard<std::mutex> hold(state_lock);
    return find_context(handle) ? config().devices : -1;
  });
}

int freenect_list_device_attributes(freenect_context *handle,
                                    struct freenect_device_attributes **list) {
  TraceLine t(__func__);
  return traced(t, [&] {
    if (!list) return -1;
    {
      std::lock_guard<std::mutex> hold(state_lock);
      if (!find_context(handle)) return -1;
    }
    *list = nullptr;
    // Built from the last index backwards so the list runs in index order.
    for (int i = config().devices - 1; i >= 0; --i) {
      auto *node = static_cast<freenect_device_attributes *>(
          std::calloc(1, sizeof(freenect_device_attributes)));
      char *serial = node ? strdup(serial_of(i).c_str()) : nullptr;
      if (!serial) {
        std::free(node);
        free_attributes(*list);
        *list = nullptr;
        return -1;
      }
      node->camera_serial = serial;
      node->next = *list;
      *list = node;
    }
    return config().devices;
  });
}

void freenect_free_device_attributes(struct freenect_device_attributes *list) {
  TraceLine(__func__).end();
  free_attributes(list);
}

int freenect_supported_subdevices(void) {
  TraceLine t(__func__);
  return traced(t, [] { return kAllSubdevices; });
}

void freenect_select_subdevices(freenect_context *handle, freenect_device_flags subdevs) {
  TraceLine(__func__).arg(subdevs).end();
  std::lock_guard<std::mutex> hold(state_lock);
  if (Context *ctx = find_context(handle)) ctx->select = subdevs & kAllSubdevices;
}

freenect_device_flags freenect_enabled_subdevices(freenect_context *handle) {
  TraceLine t(__func__);
  std::lock_guard<std::mutex> hold(state_lock);
  int flags = 0;
  if (Context *ctx = find_context(handle)) {
    for (const Device *d : ctx->devices) flags |= d->subdevices;
  }
  return static_cast<freenect_device_flags>(t.result(flags));
}

int freenect_open_device(freenect_context *ctx, freenect_device **dev, int index) {
  TraceLine t(__func__);
  t.arg(index);
  return traced(t, [&] { return open_device(ctx, dev, index); });
}

int freenect_open_device_by_camera_serial(freenect_context *ctx, freenect_device **dev,
                                          const char *camera_serial) {
  TraceLine t(__func__);
  return traced(t, [&] {
    if (!camera_serial) return -1;
    for (int i = 0; i < config().devices; ++i) {
      if (serial_of(i) == camera_serial) return open_device(ctx, dev, i);
    }
    return -1;
  });
}

int freenect_close_device(freenect_device *handle) {
  TraceLine t(__func__);
  return traced(t, [&] {
    std::lock_guard<std::mutex> hold(state_lock);
    Device *dev = find_device(handle);
    if (!dev) return -1;
    remove_device(dev);
    return 0;
  });
}

void freenect_set_user(freenect_device *handle, void *user) {
  TraceLine(__func__).end();
  std::lock_guard<std::mutex> hold(state_lock);
  if (Device *dev = find_device(handle)) dev->user = user;
}

void *freenect_get_user(freenect_device *handle) {
  TraceLine t(__func__);
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  return t.result_pointer(dev ? dev->user : nullptr);
}

// Firmware upload matters only to real hardware; the simulator accepts and ignores it.
void freenect_set_fw_address_nui(freenect_context *, unsigned char *, unsigned int) {
  TraceLine(__func__).end();
}

void freenect_set_fw_address_k4w(freenect_context *, unsigned char *, unsigned int) {
  TraceLine(__func__).end();
}

}  // extern "C"
