#!/usr/bin/env bash
# scenereel demo: records 2 s of the simulated Kinect, then replays the
# recording on the simulator with alignsnap, and shows the first recorded
# frames beside what alignsnap saw of them.
#   demo/scenereel.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
record_seconds=2

cd "$out"
status=0
"$build/record/scenereel" recording --seconds "$record_seconds" >terminal.txt 2>&1 || status=$?

mkdir replayed
(cd replayed && KSIM_REPLAY=../recording "$build/tools/alignsnap" >stdout.txt 2>stderr.txt) ||
  status=$?

first_depth="recording/$(grep -m1 '^d-' recording/INDEX.txt)"
first_video="recording/$(grep -m1 '^r-' recording/INDEX.txt)"
convert "$first_video" recorded_rgb.png
# The recording's depth is in host order (little-endian); Netpbm readers
# expect the most significant byte first, so swap the bytes after the header.
{
  head -c 17 "$first_depth"
  tail -c +18 "$first_depth" | dd conv=swab status=none
} >recorded_depth_msb_first.pgm
convert recorded_depth_msb_first.pgm -auto-level recorded_depth.png
rm recorded_depth_msb_first.pgm
convert replayed/registration_test_rgb.ppm replayed_rgb.png
convert replayed/registration_test_depth_raw.pgm -auto-level replayed_depth.png
same_rgb=$(cmp -s "$first_video" replayed/registration_test_rgb.ppm && echo identical || echo different)

{
  echo "Recorded ${record_seconds} s at real-time pacing into \`recording/\` (status ${status}):"
  echo
  fence terminal.txt
  echo
  echo "\`recording/INDEX.txt\` lists $(grep -c '^d-' recording/INDEX.txt) depth," \
    "$(grep -c '^r-' recording/INDEX.txt) colour and $(grep -c '^a-' recording/INDEX.txt)" \
    "accelerometer entries; its first lines:"
  echo
  echo '```'
  head -n 6 recording/INDEX.txt
  echo '```'
  echo
  echo "Replayed on the simulator (\`KSIM_REPLAY\`, the recording as written), alignsnap dumped the first"
  echo "frames; its colour dump is ${same_rgb} to the first recorded colour frame."
  echo
  echo "Recorded colour and depth (stretched to full contrast):"
  echo
  echo "![recorded colour](recorded_rgb.png) ![recorded depth](recorded_depth.png)"
  echo
  echo "What alignsnap saw on the replay:"
  echo
  echo "![replayed colour](replayed_rgb.png) ![replayed depth](replayed_depth.png)"
} >summary.md
exit "$status"
