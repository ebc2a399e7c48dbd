#!/usr/bin/env bash
# swayloop demo: the tilt/LED/accelerometer loop on the simulated Kinect for a
# few passes (one every three seconds), then stopped with SIGTERM.
#   demo/swayloop.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
passes=3

KSIM_TRACE="$out/trace.txt" "$build/tools/swayloop" >"$out/terminal.txt" 2>"$out/stderr.txt" &
pid=$!
# Wait for the passes (a pass every 3 s); give up after 20 s.
for ((i = 0; i < 200; i++)); do
  (($(wc -l <"$out/terminal.txt") >= passes)) && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?

lines=$(wc -l <"$out/terminal.txt")
{
  echo "swayloop ran ${lines} passes on the simulated Kinect (a random LED mode and tilt angle every"
  echo "3 s, the accelerometer read back) and was stopped with SIGTERM (status ${status})."
  echo
  echo "Terminal output:"
  echo
  fence "$out/terminal.txt"
  echo
  echo "The LED and tilt calls the simulated device received (from \`trace.txt\`):"
  echo
  grep -E '^freenect_set_(led|tilt_degs) ' "$out/trace.txt" >"$out/device_calls.txt" || true
  fence "$out/device_calls.txt"
} >"$out/summary.md"
# Killed by our SIGTERM (143) after at least one pass is the expected end.
((status == 143 && lines >= 1))
