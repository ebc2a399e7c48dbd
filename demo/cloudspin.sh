#!/usr/bin/env bash
# cloudspin demo: the point-cloud viewer on the simulated Kinect, a screenshot
# of the cloud as it starts and one turned with a left-button drag, then
# Escape (which must end it with status 0).
#   demo/cloudspin.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
run_seconds=3

start_window cloudspin LibFreenect "$out/terminal.txt" || exit 1
sleep "$run_seconds"
shot "$win" "$out/cloudspin.png"

# Drag 30 px right and 20 px down with the left button: 30 degrees about Y,
# 20 degrees about X.
xdotool mousemove --window "$win" 300 200 mousedown 1 mousemove --window "$win" 330 200 \
  mousemove --window "$win" 330 220 mouseup 1
xdotool key --window "$win" w
sleep 2
shot "$win" "$out/cloudspin-turned.png"
quit_with Escape cloudspin

{
  echo "The point-cloud viewer ran ${run_seconds} s on the simulated Kinect: 307200 points placed by"
  echo "the vertex matrix and textured through the RGB matrix. Then a left-button drag of 30 px"
  echo "right and 20 px down turned it (30° about Y, 20° about X) and 'w' zoomed in by 1.1;"
  echo "Escape ended it with status ${status}."
  echo
  echo "![cloudspin window](cloudspin.png) ![cloudspin turned](cloudspin-turned.png)"
  echo
  echo "Terminal output (empty when all went well):"
  echo
  fence "$out/terminal.txt"
} >"$out/summary.md"
exit "$status"
