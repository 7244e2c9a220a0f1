#!/usr/bin/env bash
# Installs what building and testing vistel needs on Debian 12. Run as root,
# or as a user with sudo (it asks for root itself); safe to run again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential g++ cmake ninja-build pkg-config git ca-certificates python3
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3-jsonschema         # checks docs/show.schema.json and the shows against it
  nlohmann-json3-dev libfmt-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libfontconfig-dev libfreetype-dev fonts-liberation fonts-dejavu-core
  libfluidsynth-dev libjack-jackd2-dev timgm6mb-soundfont   # MIDI: installed together
  clang libclang-rt-14-dev   # libFuzzer for the fuzz targets
  libsdl2-dev libx11-dev libxrandr-dev libxinerama-dev   # the desktop host, its monitors
  libjpeg62-turbo-dev libjpeg-turbo-progs   # JPEG at a reduced scale; djpeg for the decode benchmark
  xvfb xdotool               # playing the desktop host without a screen, with scripted input
  xserver-xephyr             # two monitors side by side for the desktop tests
  x11-utils imagemagick xscreensaver   # desktop tests: window facts, screenshots, the daemon
  g++-mingw-w64-x86-64-posix wine wine64   # the Windows programs, cross-built and tested under Wine
  pulseaudio                               # a sound server that plays nowhere, for music under Wine
)
if [ "$(id -u)" -ne 0 ]; then
  exec sudo bash "$0" "$@"
fi
apt-get update
apt-get install -y --no-install-recommends "${packages[@]}"
