# Helpers sourced by the demo scripts (demo/<tool>.sh).
#
# Each demo script is run as `demo/<tool>.sh BUILD OUT` from demo/run.sh, with
# LD_LIBRARY_PATH pointing at the simulated Kinect, DISPLAY naming a running
# Xvfb, and OUT an empty folder of its own. It runs its tool, leaves what the
# tool produced in OUT, and writes OUT/summary.md: a few Markdown lines for the
# one-page summary (paths in it relative to OUT).

# The script's two arguments, for the script and the helpers below.
build="$1"
out="$2"

# wait_window TITLE [SECONDS]: prints the id of the visible window with this
# title once it is mapped; fails after SECONDS (default 10).
wait_window() {
  local title="$1" limit="${2:-10}" id
  for ((i = 0; i < limit * 10; i++)); do
    id="$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1)" || true
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "demo: no window '$title' after ${limit}s" >&2
  return 1
}

# shot WINDOW-ID PNG: a screenshot of one window.
shot() {
  import -window "$1" "$2"
}

# fence FILE: a file's text as a fenced block for summary.md.
fence() {
  echo '```'
  cat "$1"
  echo '```'
}

# start_window TOOL TITLE LOG: starts build/tools/TOOL in the background with
# its output in LOG and waits for its window; sets `pid` and `win`. Fails (and
# kills the tool) when no window appears within 20 s.
start_window() {
  "$build/tools/$1" >"$3" 2>&1 &
  pid=$!
  if ! win="$(wait_window "$2" 20)"; then
    kill "$pid" 2>/dev/null || true
    return 1
  fi
}

# quit_with KEY NAME: sends the tool's quit key to `win`, gives it ten seconds
# to end, and sets `status` to its exit status. The tool may close its window
# before the key's release reaches it, so a failing xdotool is expected.
quit_with() {
  xdotool key --window "$win" "$1" 2>/dev/null || true
  for ((i = 0; i < 100; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    echo "$2 did not quit on $1" >&2
  fi
  status=0
  wait "$pid" || status=$?
}
