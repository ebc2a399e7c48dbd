#include "device.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <set>

#include "config.hpp"
#include "frames.hpp"

namespace ksim {
namespace {

// Live records, guarded by state_lock. Like the records below they are never
// destroyed, not even at exit: a caller's thread (libfreenect_sync's) may still
// be inside a driver call while the process runs its static destructors.
std::set<Context *> &contexts = *new std::set<Context *>;
std::set<Device *> &devices = *new std::set<Device *>;
// Released records, kept (without their frame buffers) for the life of the
// process: a stale handle then never aliases a newer record, and a tilt-state
// pointer handed out before the release stays readable.
std::vector<std::unique_ptr<Context>> &closed_contexts = *new std::vector<std::unique_ptr<Context>>;
std::vector<std::unique_ptr<Device>> &closed_devices = *new std::vector<std::unique_ptr<Device>>;

}  // namespace

std::mutex state_lock;

Context *find_context(freenect_context *handle) {
  auto *ctx = reinterpret_cast<Context *>(handle);
  return contexts.count(ctx) ? ctx : nullptr;
}

Device *find_device(freenect_device *handle) {
  auto *dev = reinterpret_cast<Device *>(handle);
  return devices.count(dev) ? dev : nullptr;
}

freenect_context *add_context(Context *ctx) {
  contexts.insert(ctx);
  return reinterpret_cast<freenect_context *>(ctx);
}

freenect_device *add_device(Device *dev) {
  devices.insert(dev);
  dev->ctx->devices.push_back(dev);
  return reinterpret_cast<freenect_device *>(dev);
}

void remove_device(Device *dev) {
  auto &list = dev->ctx->devices;
  list.erase(std::remove(list.begin(), list.end(), dev), list.end());
  devices.erase(dev);
  for (Stream *s : {&dev->depth, &dev->video, &dev->audio}) {
    s->running = false;
    std::vector<uint8_t>().swap(s->own_buffer);
  }
  dev->depth_view.reset();
  dev->video_view.reset();
  closed_devices.emplace_back(dev);
}

void remove_context(Context *ctx) {
  while (!ctx->devices.empty()) remove_device(ctx->devices.back());
  contexts.erase(ctx);
  closed_contexts.emplace_back(ctx);
}

double now(const Context &ctx) {
  if (config().fast) return ctx.virtual_now;
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double motor_clock() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double tilt_now(const Device &dev, double at) {
  const double distance = std::fabs(dev.tilt_to - dev.tilt_from);
  const double turned = (at - dev.tilt_since) * config().motor_speed;
  if (config().motor_speed == kInstantMotor || turned >= distance) return dev.tilt_to;
  return dev.tilt_from + std::copysign(std::fmax(0.0, turned), dev.tilt_to - dev.tilt_from);
}

freenect_raw_tilt_state motor_state(const Device &dev) {
  // A replayed recording reports the state recorded with the last frame.
  const std::vector<freenect_raw_tilt_state> &recorded = source().tilt;
  if (!recorded.empty()) {
    return recorded[(dev.depth.next ? dev.depth.next - 1 : 0) % recorded.size()];
  }
  constexpr double kPi = 3.14159265358979323846;
  const double degrees = tilt_now(dev, motor_clock());
  const double a = degrees * kPi / 180.0;
  freenect_raw_tilt_state s{};
  s.accelerometer_x = 0;
  s.accelerometer_y = static_cast<int16_t>(std::lround(FREENECT_COUNTS_PER_G * std::cos(a)));
  s.accelerometer_z = static_cast<int16_t>(std::lround(FREENECT_COUNTS_PER_G * std::sin(a)));
  s.tilt_angle = static_cast<int8_t>(std::lround(2 * degrees));
  s.tilt_status = degrees != dev.tilt_to ? TILT_STATUS_MOVING
                  : dev.tilt_clamped     ? TILT_STATUS_LIMIT
                                         : TILT_STATUS_STOPPED;
  return s;
}

}  // namespace ksim
