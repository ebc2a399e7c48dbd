#!/usr/bin/env bash
# Runs every step's demo script on the simulated Kinect, headless, and gathers
# their outputs into OUT with a one-page OUT/SUMMARY.md. The terminal gets one
# line per step; what the step printed goes to OUT/<step>/log.txt. A failing
# or missing step is reported as FAILED and makes the run's status 1.
#   demo/run.sh BUILD OUT
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
out="$2"
rm -rf "$out"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# One Xvfb for all windowed tools.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$out/.display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -f "$out/.display"' EXIT
for ((i = 0; i < 100; i++)); do
  [[ -s "$out/.display" ]] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$out/.display")"
export LD_LIBRARY_PATH="$build/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

summary="$out/SUMMARY.md"
{
  echo "# Kestrel on the simulated Kinect"
  echo
  echo "Made by \`./kestrel demo\` on $(date -u '+%Y-%m-%d %H:%M UTC'). Each tool ran headless"
  echo "(windows under Xvfb) on the simulator in \`sim/\`; its files are in its folder here."
  echo
} >"$summary"

status=0
for step in swayloop streamcheck bandshow cloudspin alignsnap sonoscope quadtape scenereel camserve; do
  script="$here/$step.sh"
  mkdir -p "$out/$step"
  printf 'demo: %-12s ' "$step"
  if [[ ! -x "$script" ]]; then
    echo "no script $script" >"$out/$step/log.txt"
    result="FAILED (no script)"
  elif (cd "$out/$step" && "$script" "$build" "$out/$step") >"$out/$step/log.txt" 2>&1 </dev/null; then
    result="ran"
  else
    result="FAILED (status $?)"
  fi
  echo "$result"
  [[ "$result" == ran ]] || status=1
  {
    echo "## $step — $result"
    echo
    # Links in a step's summary are relative to its folder.
    if [[ -f "$out/$step/summary.md" ]]; then
      sed -E "s#\]\(([^):/][^):]*)\)#]($step/\1)#g" "$out/$step/summary.md"
      echo
    fi
    if [[ -s "$out/$step/log.txt" ]]; then
      echo "What the step printed: [log.txt]($step/log.txt)."
      echo
    fi
  } >>"$summary"
  rm -f "$out/$step/summary.md"
done
echo "demo: summary in $summary"
exit "$status"
