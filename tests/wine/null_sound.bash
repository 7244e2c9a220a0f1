# Sourced by the Wine checks: a PulseAudio server of their own whose one sink
# plays nowhere, so that music under Wine (winmm, through winepulse) plays
# and ends in real time on a machine without a sound card.
#
#   start_null_sound FOLDER   # the server's runtime folder; sets XDG_RUNTIME_DIR
#   stop_null_sound
#
# Without pulseaudio nothing starts, and Wine has no sound device: its MCI
# then refuses to play, and the checks say so.
start_null_sound() {
  command -v pulseaudio >/dev/null || return 0
  export XDG_RUNTIME_DIR=$1
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio --kill </dev/null >/dev/null 2>&1 || true
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix </dev/null >/dev/null 2>&1 || true
}

stop_null_sound() {
  command -v pulseaudio >/dev/null || return 0
  pulseaudio --kill </dev/null >/dev/null 2>&1 || true
}
