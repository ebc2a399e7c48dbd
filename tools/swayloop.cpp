// swayloop: exercises the motor side of the first Kinect. Every three seconds
// it sets a random LED mode and tilt angle, reads the accelerometer back and
// prints one line, until a device call fails or the process is killed.
#include <libfreenect.h>
#include <libfreenect_sync.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

constexpr int kDeviceIndex = 0;       // the first Kinect on the machine
constexpr int kLedChoices = 6;        // LED values 0..5; 6 (blinking red/yellow) is never picked
constexpr int kTiltChoices = 30;      // tilt angles in whole degrees...
constexpr int kTiltMin = -15;         // ...from -15 to +14
constexpr unsigned kPassSeconds = 3;  // pause between passes, seconds

// Reports a device call that failed and ends the process with status 1.
[[noreturn]] static void no_kinect_quit() {
  puts("Error: Kinect not connected?");
  exit(1);
}

int main(int /*argc*/, char ** /*argv*/) {
  // The process normally ends from a signal, which would lose a block-buffered
  // stdout: write every line as it is made, also into pipes and files.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  srand((uint32_t)time(nullptr));

  for (;;) {
    int led = rand() % kLedChoices;
    int tilt = rand() % kTiltChoices + kTiltMin;
    freenect_raw_tilt_state *state = nullptr;  // owned by the wrapper, never freed here

    if (freenect_sync_set_led((freenect_led_options)led, kDeviceIndex)) no_kinect_quit();
    if (freenect_sync_set_tilt_degs(tilt, kDeviceIndex)) no_kinect_quit();
    if (freenect_sync_get_tilt_state(&state, kDeviceIndex)) no_kinect_quit();

    double dx, dy, dz;  // acceleration, m/s²
    freenect_get_mks_accel(state, &dx, &dy, &dz);
    printf("led[%d] tilt[%d] accel[%lf,%lf,%lf]\n", led, tilt, dx, dy, dz);
    sleep(kPassSeconds);
  }
}
