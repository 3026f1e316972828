#!/usr/bin/env bash
# Builds the Windows programs and runs every Windows test program under wine64 on Xvfb.
# Sourced by screenshot_windows.sh for the Wine prefix and the display.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

WINE=/usr/lib/wine/wine64
export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="

# A quiet prefix of its own, its dialog and GUI fonts mapped to a CJK font so Chinese shows, and
# windows framed by Wine itself.
wine_prefix() {
  if [ ! -f "$WINEPREFIX/.morvane-fonts" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    local reg="$WINEPREFIX/morvane-fonts.reg"
    {
      printf 'REGEDIT4\r\n\r\n'
      printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
      local face
      for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "MS Sans Serif" "Segoe UI" "Microsoft Sans Serif" \
        "SimSun" "NSimSun" "Microsoft YaHei" "Arial" "System"; do
        printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
      done
      printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
      for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
        printf '"%s"=hex(7):77,00,71,00,79,00,2d,00,6d,00,69,00,63,00,72,00,6f,00,68,00,65,00,69,00,2e,00,74,00,74,00,63,00,2c,00,57,00,65,00,6e,00,51,00,75,00,61,00,6e,00,59,00,69,00,20,00,4d,00,69,00,63,00,72,00,6f,00,20,00,48,00,65,00,69,00,00,00,00,00\r\n' "$face"
      done
      # Without a window manager on Xvfb, Wine draws the frame and caption itself.
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n"Managed"="N"\r\n'
    } >"$reg"
    "$WINE" regedit "$reg" >/dev/null 2>&1
    # Caption buttons are drawn with Marlett, which this Wine only finds among the prefix's fonts.
    [ -f /usr/share/wine/fonts/marlett.ttf ] && cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    "$WINE" wineboot -u >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.morvane-fonts"
  fi
}

XVFB_PID=""
# Starts Xvfb on a free display, 1920 x 1080 like the screens the window is centred on.
start_display() {
  local displayFile
  displayFile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$displayFile" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$displayFile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$displayFile")"
  rm -f "$displayFile"
}

stop_display() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}

build_windows() {
  cmake --preset windows -DMORVANE_TESTS=ON >/dev/null
  cmake --build build/windows -j2
}

run_tests() {
  local failed=()
  local program
  for program in build/windows/tests/*.exe; do
    echo "== wine64 $(basename "$program")"
    if ! "$WINE" "$program" --gtest_brief=1; then
      failed+=("$(basename "$program")")
    fi
  done
  if [ ${#failed[@]} -ne 0 ]; then
    echo "Failed under Wine: ${failed[*]}"
    return 1
  fi
  echo "All Windows test programs passed under Wine."
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  build_windows
  trap stop_display EXIT
  start_display
  wine_prefix
  run_tests
fi
