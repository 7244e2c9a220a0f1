#!/usr/bin/env bash
# Builds vistel and runs every test: the optimised build with warnings as
# errors, then the same tests under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the Windows programs and their tests, cross-built and run under Wine
# (skipped with a note where MinGW-w64 or Wine is missing).
#
# The unit tests that need an X display (SdlDisplayTest.*) get a private Xvfb
# when none is set, so that they run instead of skipping; the desktop tests
# (tests/cli/desktop_*.sh) start their own.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
x_tests='^SdlDisplayTest\.'
for preset in ci asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  if [[ -n "${DISPLAY:-}" ]] || ! command -v xvfb-run >/dev/null; then
    ctest --preset "$preset" -j "$jobs"
  else
    ctest --preset "$preset" -j "$jobs" -E "$x_tests"
    echo "== $preset: the X display tests under Xvfb"
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$preset" -R "$x_tests" --no-tests=error
  fi
done

echo "== windows: cross-build, test under Wine"
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  echo "skipped: MinGW-w64 (posix threads) or Wine is not installed (scripts/setup-debian.sh)"
  exit 0
fi
cmake --preset windows
cmake --build --preset windows -j "$jobs"
bash scripts/wine-ctest.sh -j "$jobs"
echo "== windows: the player under Wine beside the Linux player (headless and on Xvfb)"
code=0
bash tests/wine/play_under_wine.sh build/ci build/windows || code=$?
if [[ $code == 77 ]]; then echo "skipped"; elif [[ $code != 0 ]]; then exit "$code"; fi
echo "== windows: the player on a Wine that says it is Windows 98 (password services)"
code=0
bash tests/wine/win98_under_wine.sh build/ci build/windows || code=$?
if [[ $code == 77 ]]; then echo "skipped"; elif [[ $code != 0 ]]; then exit "$code"; fi
echo "== windows: the full-screen show on two monitors (Xephyr heads, Wine through Xinerama)"
code=0
bash tests/wine/monitors_under_wine.sh build/ci build/windows || code=$?
if [[ $code == 77 ]]; then echo "skipped"; elif [[ $code != 0 ]]; then exit "$code"; fi
