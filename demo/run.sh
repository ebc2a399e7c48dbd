#!/usr/bin/env bash
# Runs every tool's demo script on the simulated Kinect, headless, and gathers
# their outputs into OUT with a one-page OUT/SUMMARY.md.
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
for tool in swayloop streamcheck bandshow cloudspin alignsnap sonoscope quadtape camserve; do
  script="$here/$tool.sh"
  [[ -x "$script" && (-x "$build/tools/$tool" || -x "$build/service/$tool") ]] || continue
  mkdir -p "$out/$tool"
  echo "demo: $tool"
  if (cd "$out/$tool" && "$script" "$build" "$out/$tool"); then
    result="ran"
  else
    result="FAILED (status $?)"
    status=1
  fi
  {
    echo "## $tool — $result"
    echo
    # Links in a tool's summary are relative to its folder.
    [[ -f "$out/$tool/summary.md" ]] && sed -E "s#\]\(([^):/][^):]*)\)#]($tool/\1)#g" "$out/$tool/summary.md"
    echo
  } >>"$summary"
  rm -f "$out/$tool/summary.md"
done
echo "demo: summary in $summary"
exit "$status"
