#!/usr/bin/env bash
# streamcheck demo: the depth and video smoke test on the simulated Kinect for
# a few seconds at real-time pacing, then stopped with SIGINT (which must end
# it with "Shutting down", "Done!" and status 0).
#   demo/streamcheck.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
run_seconds=3

KSIM_PACE=realtime "$build/tools/streamcheck" >"$out/terminal.txt" 2>"$out/stderr.txt" &
pid=$!
sleep "$run_seconds"
kill -INT "$pid" 2>/dev/null || true
# Give it ten seconds to shut down.
for ((i = 0; i < 100; i++)); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid"
  echo "streamcheck did not stop on SIGINT" >&2
fi
status=0
wait "$pid" || status=$?

depth=$(grep -c '^Received depth frame at ' "$out/terminal.txt" || true)
video=$(grep -c '^Received video frame at ' "$out/terminal.txt" || true)
{
  echo "streamcheck streamed ${run_seconds} s from the simulated Kinect (30 frames/s each) and"
  echo "printed ${depth} depth and ${video} video frame lines; SIGINT ended it with status ${status}."
  echo
  echo "Terminal output (first and last lines; all of it in \`terminal.txt\`, the driver's"
  echo "log in \`stderr.txt\`):"
  echo
  {
    head -n 6 "$out/terminal.txt"
    echo "..."
    tail -n 4 "$out/terminal.txt"
  } >"$out/excerpt.txt"
  fence "$out/excerpt.txt"
} >"$out/summary.md"
((status == 0)) && [[ "$(tail -n 2 "$out/terminal.txt")" == $'Shutting down\nDone!' ]]
