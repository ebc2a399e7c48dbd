// LED, tilt motor, accelerometer and the camera's flags.
#include <libfreenect.h>

#include <cmath>

#include "config.hpp"
#include "device.hpp"
#include "trace.hpp"

using namespace ksim;

namespace {

constexpr double kTiltLimit = 31;     // degrees either way the motor can reach
constexpr double kGravity = 9.80665;  // m/s² per g

// Runs `change` on the live device behind `handle` if it has the motor.
template <typename Change>
int with_motor(freenect_device *handle, Change change) {
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  if (!dev || !(dev->subdevices & FREENECT_DEVICE_MOTOR)) return -1;
  return change(*dev);
}

}  // namespace

extern "C" {

int freenect_update_tilt_state(freenect_device *dev) {
  TraceLine t(__func__);
  return traced(t, [&] {
    return with_motor(dev, [](Device &d) {
      d.tilt_state = motor_state(d);
      return 0;
    });
  });
}

freenect_raw_tilt_state *freenect_get_tilt_state(freenect_device *handle) {
  TraceLine t(__func__);
  std::lock_guard<std::mutex> hold(state_lock);
  Device *dev = find_device(handle);
  return t.result_pointer(dev ? &dev->tilt_state : nullptr);
}

double freenect_get_tilt_degs(freenect_raw_tilt_state *state) {
  TraceLine t(__func__);
  return t.result_double(state ? state->tilt_angle / 2.0 : 0.0);
}

int freenect_set_tilt_degs(freenect_device *dev, double angle) {
  TraceLine t(__func__);
  t.arg_double(angle);
  return traced(t, [&] {
    if (std::isnan(angle)) return -1;
    return with_motor(dev, [angle](Device &d) {
      // The motor turns on from wherever it is now.
      const double now = motor_clock();
      d.tilt_from = tilt_now(d, now);
      d.tilt_since = now;
      d.tilt_to = std::fmax(-kTiltLimit, std::fmin(kTiltLimit, angle));
      d.tilt_clamped = d.tilt_to != angle;
      return 0;
    });
  });
}

freenect_tilt_status_code freenect_get_tilt_status(freenect_raw_tilt_state *state) {
  TraceLine t(__func__);
  return static_cast<freenect_tilt_status_code>(t.result(state ? state->tilt_status : 0));
}

// Nothing reads the LED back; the call is checked and recorded in the trace.
int freenect_set_led(freenect_device *dev, freenect_led_options option) {
  TraceLine t(__func__);
  t.arg(option);
  return traced(t, [&] {
    if (option < LED_OFF || option > LED_BLINK_RED_YELLOW) return -1;
    return with_motor(dev, [](Device &) { return 0; });
  });
}

void freenect_get_mks_accel(freenect_raw_tilt_state *state, double *x, double *y, double *z) {
  TraceLine(__func__).end();
  if (!state || !x || !y || !z) return;
  *x = static_cast<double>(state->accelerometer_x) / FREENECT_COUNTS_PER_G * kGravity;
  *y = static_cast<double>(state->accelerometer_y) / FREENECT_COUNTS_PER_G * kGravity;
  *z = static_cast<double>(state->accelerometer_z) / FREENECT_COUNTS_PER_G * kGravity;
}

// The synthetic image has no exposure or white balance to change, so those
// flags are accepted as they are; mirroring and near mode are not simulated
// and are refused rather than reported as done.
int freenect_set_flag(freenect_device *handle, freenect_flag flag, freenect_flag_value value) {
  TraceLine t(__func__);
  t.arg(flag).arg(value);
  return traced(t, [&] {
    const bool camera_setting = flag == FREENECT_AUTO_EXPOSURE ||
                                flag == FREENECT_AUTO_WHITE_BALANCE || flag == FREENECT_RAW_COLOR;
    if (!camera_setting || (value != FREENECT_ON && value != FREENECT_OFF)) return -1;
    std::lock_guard<std::mutex> hold(state_lock);
    return find_device(handle) ? 0 : -1;
  });
}

int freenect_get_ir_brightness(freenect_device *handle) {
  TraceLine t(__func__);
  return traced(t, [&] {
    std::lock_guard<std::mutex> hold(state_lock);
    Device *dev = find_device(handle);
    return dev ? dev->ir_brightness : -1;
  });
}

int freenect_set_ir_brightness(freenect_device *handle, uint16_t brightness) {
  TraceLine t(__func__);
  t.arg(brightness);
  return traced(t, [&] {
    std::lock_guard<std::mutex> hold(state_lock);
    Device *dev = find_device(handle);
    if (!dev) return -1;
    dev->ir_brightness = brightness < 1    ? 1
                         : brightness > 50 ? 50
                                           : brightness;  // the emitter's range
    return 0;
  });
}

}  // extern "C"
