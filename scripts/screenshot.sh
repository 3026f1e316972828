#!/usr/bin/env bash
# Starts Morvane under Xvfb and writes docs/screenshot-linux.png: the window as a user sees it.
source "$(dirname "$0")/common.sh"
install_missing "${RUN_PACKAGES[@]}" xvfb xauth imagemagick x11-utils xdotool

program=build/linux/morvane
output=docs/screenshot-linux.png
[ -f build/linux/build.ninja ] || cmake --preset linux -DMORVANE_TESTS=OFF >/dev/null
cmake --build build/linux --target morvane -j2 >/dev/null
for tool in Xvfb import xwininfo; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh needs $tool (Debian: xvfb, imagemagick, x11-utils)"; exit 1; }
done
fc-list :lang=zh family | grep -q . || echo "warning: no CJK font found; Chinese captions will show as boxes" >&2

# A free display number: one without a lock file or socket.
display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done

Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
morvane=""
cleanup() {
  [ -n "$morvane" ] && kill "$morvane" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$program" 2>/dev/null &
morvane=$!
window=""
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Morvane"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "Morvane's window did not appear" >&2; exit 1; }
sleep 1  # let it paint

mkdir -p docs
# Xvfb has no window manager, so the window has no frame: the client area is the whole picture.
import -window "$window" "$output"
echo "wrote $output ($(identify -format '%wx%h' "$output"))"

# Closed as a user would, with Esc, where xdotool is at hand.
if command -v xdotool >/dev/null; then
  xdotool windowfocus --sync "$window" key Escape 2>/dev/null || kill "$morvane"
  for _ in $(seq 30); do kill -0 "$morvane" 2>/dev/null || break; sleep 0.1; done
fi
kill "$morvane" 2>/dev/null || true
wait "$morvane" 2>/dev/null || true
morvane=""
