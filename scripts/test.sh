#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test.
source "$(dirname "$0")/common.sh"
install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

# Tests of the Qt window run on the offscreen platform: no display needed.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

for preset in linux asan tsan; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: tests"
  ctest --test-dir "build/$preset" --output-on-failure
done
