#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test.
source "$(dirname "$0")/common.sh"
install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WINE_PACKAGES[@]}"

# Tests of the Qt window run on the offscreen platform: no display needed.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
jobs=$(nproc)

# Linux program and tests, then the same tests under AddressSanitizer with
# UndefinedBehaviorSanitizer, and under ThreadSanitizer.
for preset in linux asan tsan; do
  echo "== $preset: build"
  cmake --preset "$preset" -DMORVANE_TESTS=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --test-dir "build/$preset" --output-on-failure -j "$jobs"
done

# Each parser's fuzz target, briefly, seeded with the committed workbooks.
echo "== fuzz: build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  corpus=$(mktemp -d)
  log="build/fuzz/$(basename "$target").log"
  echo "== fuzz: $(basename "$target") for ${FUZZ_SECONDS:-20} s"
  if ! "$target" -max_total_time="${FUZZ_SECONDS:-20}" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix=build/fuzz/ "$corpus" tests/fixtures >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$(basename "$target") found a fault; the input is in build/fuzz/ (crash-*, timeout-*, oom-*)"
    exit 1
  fi
  tail -n 1 "$log"
  rm -rf "$corpus"
done

# The Windows program and its tests, cross-built and run under Wine on Xvfb.
echo "== windows: build and tests under Wine"
bash scripts/wine_test.sh
echo "All test configurations passed."
