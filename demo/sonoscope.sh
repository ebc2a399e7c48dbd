#!/usr/bin/env bash
# sonoscope demo: the waveform viewer on the simulated microphones for a few
# seconds, a screenshot of its window, then 'q' (which must end it with status 0).
#   demo/sonoscope.sh BUILD OUT
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
run_seconds=3

start_window sonoscope Microphones "$out/terminal.txt" || exit 1
sleep "$run_seconds"
shot "$win" "$out/sonoscope.png"
quit_with q sonoscope

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
