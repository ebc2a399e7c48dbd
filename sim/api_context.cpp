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
  TraceLine t("freenect_init");
  if (auto v = injected_failure("freenect_init")) return t.result(*v);
  if (!ctx) return t.result(-1);
  if (!source().error.empty()) {
    std::fprintf(stderr, "ksim: %s\n", source().error.c_str());
    return t.result(-1);
  }
  std::lock_guard<std::mutex> hold(state_lock);
  *ctx = add_context(new Context);
  return t.result(0);
}

int freenect_shutdown(freenect_context *handle) {
  TraceLine t("freenect_shutdown");
  if (auto v = injected_failure("freenect_shutdown")) return t.result(*v);
  std::lock_guard<std::mutex> hold(state_lock);
  Context *ctx = find_context(handle);
  if (!ctx) return t.result(-1);
  remove_context(ctx);
  return t.result(0);
}

// The simulator logs nothing, so the level and the log callback change nothing.
void freenect_set_log_level(freenect_context *, freenect_loglevel level) {
  TraceLine("freenect_set_log_level").arg(level).end();
}

void freenect_set_log_callback(freenect_context *, freenect_log_cb cb) {
  TraceLine("freenect_set_log_callback").arg_set(reinterpret_cast<void *>(cb)).end();
}

int freenect_num_devices(freenect_context *handle) {
  TraceLine t("freenect_num_devices");
  if (auto v = injected_failure("freenect_num_devices")) return t.result(*v);
  std::lock_guard<std::mutex> hold(state_lock);
  return t.result(find_context(handle) ? config().devices : -1);
}

int freenect_list_device_attributes(freenect_context *handle,
                                    struct freenect_device_attributes **list) {
  TraceLine t("freenect_list_device_attributes");
  if (auto v = injected_failure("freenect_list_device_attributes")) return t.result(*v);
  if (!list) return t.result(-1);
  {
    std::lock_guard<std::mutex> hold(state_lock);
    if (!find_context(handle)) return t.result(-1);
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
      return t.result(-1);
    }
    node->camera_serial = serial;
    node->next = *list;
    *list = node;
  }
  return t.result(config().devices);
}

void freenect_free_device_attributes(struct freenect_device_attributes *list) {
  TraceLine("freenect_free_device_attributes").end();
  free_attributes(list);
}

int freenect_supported_subdevices(void) {
  TraceLine t("freenect_supported_subdevices");
  if (auto v = injected_failure("freenect_supported_subdevices")) return t.result(*v);
  return t.result(kAllSubdevices);
}

void freenect_select_subdevices(freenect_context *handle, freenect_device_flags subdevs) {
  TraceLine("freenect_select_subdevices").arg(subdevs).end();
  std::lock_guard<std::mutex> hold(state_lock);
  if (Context *ctx = find_context(handle)) ctx->select = subdevs & kAllSubdevices;
}

freenect_device_flags freenect_enabled_subdevices(freenect_context *handle) {
  TraceLine t("freenect_enabled_subdevices");
  std::lock_guard<std::mutex> hold(state_lock);
  int flags = 0;
  if (Context *ctx = find_context(handle)) {
    for (const Device *d : ctx->devices) flags |= d->subdevices;
  }
  return static_cast<freenect_device_flags>(t.result(flags));
}

int freenect_open_device(freenect_context *ctx, freenect_device **dev, int index) {
  TraceLine t("freenect_open_device");
  t.arg(index);
  if (auto v = injected_failure("freenect_open_device")) return t.result(*v);
  return t.result(open_device(ctx, dev, index));
}

int freenect_open_device_by_camera_serial(freenect_context *ctx, freenect_device **dev,
                                          const char *camera_serial) {
  TraceLine t("freenect_open_device_by_camera_serial");
  if (auto v = injected_failure("freenect_open_device_by_camera_serial")) return t.result(*v);
  if (!camera_serial) return t.result(-1);
  for (int i = 0; i < config().devices; ++i) {
    if (serial_of(i) == camera_serial) return t.result(open_device(ctx, dev, i));
  }
  return t.result(-1);
}

int freenect_close_device(freenect_device *handle) {
  TraceLine t("freenect_close_device");
  if (auto v = injected_failure("freenect_close_device")) return t.result(*v);
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  if (!dev) return t.result(-1);
  remove_device(dev);
  return t.result(0);
}

void freenect_set_user(freenect_device *handle, void *user) {
  TraceLine("freenect_set_user").end();
  std::lock_guard<std::mutex> hold(state_lock);
  if (Device *dev = find_device(handle)) dev->user = user;
}

void *freenect_get_user(freenect_device *handle) {
  TraceLine t("freenect_get_user");
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  return t.result_pointer(dev ? dev->user : nullptr);
}

// Firmware upload matters only to real hardware; the simulator accepts and ignores it.
void freenect_set_fw_address_nui(freenect_context *, unsigned char *, unsigned int) {
  TraceLine("freenect_set_fw_address_nui").end();
}

void freenect_set_fw_address_k4w(freenect_context *, unsigned char *, unsigned int) {
  TraceLine("freenect_set_fw_address_k4w").end();
}

}  // extern "C"
