#!/usr/bin/env bash
# sonoscope demo: the waveform viewer on the simulated microphones for a few
# seconds, a screenshot of its window, then 'q' (which must end it with status 0).
#   demo/sonoscope.sh BUILD OUT
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
build="$1"
out="$2"
run_seconds=3

"$build/tools/sonoscope" >"$out/terminal.txt" 2>&1 &
pid=$!
if ! win="$(wait_window Microphones 20)"; then
  kill "$pid" 2>/dev/null || true
  exit 1
fi
sleep "$run_seconds"
shot "$win" "$out/sonoscope.png"
xdotool key --window "$win" q

# Give the viewer ten seconds to stop its device thread and close.
for ((i = 0; i < 100; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "sonoscope did not quit on 'q'" >&2
fi
status=0
wait "$pid" || status=$?

{
  echo "The viewer ran ${run_seconds} s on the four simulated microphones (16 kHz, realtime), showing"
  echo "the newest 15360 samples of each; 'q' ended it with status ${status}."
  echo
  echo "![sonoscope window](sonoscope.png)"
  echo
  echo "Terminal output:"
  echo
  fence "$out/terminal.txt"
} >"$out/summary.md"
exit "$status"
