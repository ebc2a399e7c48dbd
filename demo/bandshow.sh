#!/usr/bin/env bash
# bandshow demo: the depth viewer on the simulated Kinect for a few seconds, a
# screenshot of its window, a few tilt keys, then ESC (which must end it with
# status 0).
#   demo/bandshow.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
run_seconds=3

start_window bandshow LibFreenect "$out/terminal.txt" || exit 1
sleep "$run_seconds"
shot "$win" "$out/bandshow.png"
for key in w w x s; do xdotool key --window "$win" "$key"; done
quit_with Escape bandshow
# The accelerometer line is rewritten in place with carriage returns.
tr '\r' '\n' <"$out/terminal.txt" >"$out/terminal-lines.txt"

{
  echo "The depth viewer ran ${run_seconds} s on the simulated Kinect (packed 11-bit depth decoded"
  echo "packet by packet, every second pixel of one row per packet, in six colour bands); keys"
  echo "w w x s tilted the simulated motor, ESC ended it with status ${status}."
  echo
  echo "![bandshow window](bandshow.png)"
  echo
  echo "Terminal output:"
  echo
  fence "$out/terminal-lines.txt"
} >"$out/summary.md"
exit "$status"
