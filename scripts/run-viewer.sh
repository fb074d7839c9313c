#!/usr/bin/env bash
# Builds the multisample viewer and runs it.
#
# On a display (DISPLAY or WAYLAND_DISPLAY set) the viewer opens there and
# runs until its window is closed. Without one, the script starts a virtual
# X server, runs the viewer on it, drives it with its own keys (spinning off,
# the sample count raised with 'q', the magnified view switched with 'z',
# spinning on again), saves a picture of the window after each step and
# closes the viewer. The pictures go to build/viewer-shots/ (or to
# TX_VIEWER_SHOTS).
#
# The viewer runs in viewer/data, where it finds its data files.
# TX_BUILD_JOBS sets the number of parallel build jobs (default: nproc).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "${TX_BUILD_JOBS:-$(nproc)}" --target varnek
viewer="$build/viewer/varnek"
data="$root/viewer/data"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cd "$data"
  exec "$viewer"
fi

# ---------------------------------------------------------------------------
# No display: a virtual X server, the viewer driven by its keys, pictures.
# ---------------------------------------------------------------------------
shots=${TX_VIEWER_SHOTS:-"$root/build/viewer-shots"}
mkdir -p "$shots"
rm -f "$shots"/*.png

work=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then
    kill "$viewer_pid" 2>/dev/null || true
    wait "$viewer_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "The virtual X server did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "The virtual X server did not report a display." >&2
  exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
unset SDL_VIDEODRIVER
echo "Virtual X server on $DISPLAY"

(cd "$data" && exec "$viewer") >"$work/viewer.log" 2>&1 &
viewer_pid=$!

window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Varnek' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  if ! kill -0 "$viewer_pid" 2>/dev/null; then
    echo "The viewer ended before its window appeared:" >&2
    cat "$work/viewer.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "The viewer's window did not appear." >&2
  exit 1
fi

title() { xdotool getwindowname "$window" 2>/dev/null || true; }

# Waits up to five seconds for the title to read "$1".
await_title() {
  for _ in $(seq 50); do
    [ "$(title)" = "$1" ] && return 0
    sleep 0.1
  done
  echo "The title stayed \"$(title)\" instead of \"$1\"." >&2
  return 1
}

count=0
shot() {
  count=$((count + 1))
  local name
  name=$(printf '%02d-%s.png' "$count" "$1")
  # Let a few frames reach the window first.
  sleep 0.5
  xwd -silent -id "$window" -out "$work/shot.xwd"
  convert-im6.q16 "xwd:$work/shot.xwd" "$shots/$name"
  echo "  $name  ($(title))"
}

press() {
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --clearmodifiers "$1"
}

await_title "Varnek Samples = 0"
echo "Pictures of the viewer window:"
shot "samples-0-magnified-spinning"
press v
shot "samples-0-magnified"
for samples in 2 3 4; do
  press q
  await_title "Varnek Samples = $samples"
  shot "samples-$samples-magnified"
done
press z
await_title "Varnek Samples = 4"
shot "samples-4"
press v
shot "samples-4-spinning"

# A termination request closes the window the way its close button does.
kill -TERM "$viewer_pid"
status=0
wait "$viewer_pid" || status=$?
viewer_pid=""
if [ "$status" -ne 0 ]; then
  echo "The viewer ended with status $status:" >&2
  cat "$work/viewer.log" >&2
  exit 1
fi
echo "The viewer closed normally. Its pictures are in $shots"
