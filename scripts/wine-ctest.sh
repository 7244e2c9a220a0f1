#!/usr/bin/env bash
# Runs the Windows build's tests (ctest --preset windows ARGS...) under Wine,
# in a Wine prefix of their own under build/windows. Wine's server and its
# background services are started first and stopped after: started by the
# first test instead, they would hold CTest's output pipes open and CTest
# would wait for them for ever.
#
# The tests of windows need a display: without one the script runs itself
# again on a private Xvfb where there is one (they skip where there is not).
set -euo pipefail
if [[ -z ${DISPLAY:-} && -z ${VISTEL_WINE_XVFB:-} ]] && command -v xvfb-run >/dev/null; then
  export VISTEL_WINE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
export WINEPREFIX=$PWD/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
source tests/wine/null_sound.bash
trap 'wineserver -k 2>/dev/null || true; stop_null_sound' EXIT
start_null_sound "$PWD/build/windows/sound"
# Neither may hold this script's output open: a caller reading it would wait.
wineserver -p </dev/null >/dev/null 2>&1
# The first start in a new prefix sets it up (and may report the 32-bit part
# missing); the tests say whether Wine works.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --preset windows "$@"
