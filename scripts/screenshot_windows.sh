#!/usr/bin/env bash
# Shows morvane.exe under Wine on Xvfb and saves the window as docs/screenshot-windows.png.
source "$(dirname "$0")/common.sh"
# fonts-wine brings Marlett, which draws the caption buttons.
install_missing "${RUN_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINE_PACKAGES[@]}" imagemagick fonts-wine
source scripts/wine_test.sh

build_windows >/dev/null
trap 'kill "$MORVANE_PID" 2>/dev/null || true; stop_display' EXIT
start_display
wine_prefix
"$WINE" build/windows/morvane.exe &
MORVANE_PID=$!
# Centred on the 1920 x 1080 screen: the outer rectangle starts at (829, 393).
sleep "${MORVANE_SCREENSHOT_DELAY:-6}"
mkdir -p docs
import -window root -crop 262x293+829+393 +repage docs/screenshot-windows.png
echo "Saved docs/screenshot-windows.png"
