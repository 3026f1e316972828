#!/usr/bin/env bash
# Installs what is missing, builds Morvane for Linux and Windows and starts the Linux program.
source "$(dirname "$0")/common.sh"
install_missing "${RUN_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
cmake --preset linux -DMORVANE_TESTS=OFF >/dev/null
cmake --build --preset linux --target morvane
# The same program for Windows, build/windows/morvane.exe (see the README for running it).
cmake --preset windows -DMORVANE_TESTS=OFF >/dev/null
cmake --build --preset windows --target morvane
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Morvane is built at build/linux/morvane, but there is no display to show it on."
  echo "Start it from a desktop session, or see it under Xvfb with: bash scripts/screenshot.sh"
  exit 0
fi
exec build/linux/morvane
