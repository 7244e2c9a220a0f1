#!/usr/bin/env bash
# Soak: does the player's memory stay flat over a day of show?
#
#   bench/soak.sh [--hours H] [--random] [--screen WxH] [--seed N] [--keep]
#                 [BUILD_DIR]                       headless, H of show time (default 24)
#   bench/soak.sh --desktop [--hours H] [...] [BUILD_DIR]
#                                                   desktop host on a private Xvfb,
#                                                   H of real time (default 1)
#
# BUILD_DIR defaults to build/release (configured and built when its
# vistel-player, vistel-pack or vistel_soak_media is missing; a given
# BUILD_DIR is built, not configured). VISTEL_PLAYER and VISTEL_PACK override
# the programs.
#
# The show loops through every kind of screen: image screens over a colour
# and over a picture, every sizing mode, pictures of five formats (JPEG, PNG
# with transparency, BMP, GIF, TIFF), many placements, captions flat and
# three-dimensional (one in a font that does not exist, one "where the last
# one was"), screens of background and caption only, three video screens with
# sound (one cross-faded in), plain repaints, cross-fades and one paint effect
# of every family; and music that repeats through a WAV, an MP3 and a MIDI
# track. The media come from "vistel-pack demo" and bench/soak_media.cpp.
# --random plays the same show in random order with random effects.
#
# Headless, the player simulates the show on its virtual clock (--screen,
# default 640x480, and --seed as the player's options); on the desktop
# (--desktop; not for CI) it plays /s full screen on an Xvfb of --screen's
# size in real time, the sound through SDL's dummy driver unless
# SDL_AUDIODRIVER says otherwise (that driver opens one device at a time, so
# a clip's sound over the music plays silently). The script reads the
# player's VmRSS from /proc twice a second of wall time (once on the desktop)
# and the show time from the last line of its trace. Readings count once the
# show has gone round all its screens and its music (decoders, fonts and
# caches warm). It prints the series in 24 rows, the start and end figures
# (see "Within one pass" below), their difference and the least-squares
# trend of all readings, so a slow leak shows as a trend. On the desktop the
# X server's RSS is shown beside the player's: a player leaking X resources
# makes the server grow.
#
# Goal: growth under 5 MB (5 000 000 bytes); exits 1 when it is not met or
# the player fails, 2 on a usage error or when something is missing, 77
# (skipped) for --desktop without Xvfb or a desktop host.
#
# A day of show at 320x240 costs the player about 25 minutes of one core
# (2.3 hours of wall time niced on a busy 2-core machine); run it niced on a
# shared machine:   nice -n 10 bench/soak.sh --screen 320x240
# A quick check:    bench/soak.sh --hours 0.1
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage() {
  sed -n '3,8p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

desktop=0 random=0 keep=0 hours="" screen=640x480 seed=1 build=""
while (($#)); do
  case $1 in
    --desktop) desktop=1 ;;
    --random) random=1 ;;
    --keep) keep=1 ;;
    --hours) hours=${2:?--hours needs a number}; shift ;;
    --screen) screen=${2:?--screen needs WxH}; shift ;;
    --seed) seed=${2:?--seed needs a number}; shift ;;
    -h | --help) usage ;;
    -*) echo "soak.sh: unknown option $1" >&2; usage ;;
    *) [[ -z $build ]] || usage; build=$1 ;;
  esac
  shift
done
[[ -n $hours ]] || hours=$((desktop ? 1 : 24))
if ! [[ $hours =~ ^[0-9]*\.?[0-9]+$ ]] || ! awk -v h="$hours" 'BEGIN { exit !(h > 0) }'; then
  echo "soak.sh: --hours takes a positive number, not '$hours'" >&2
  exit 2
fi
[[ $screen =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] ||
  { echo "soak.sh: --screen takes WxH, not '$screen'" >&2; exit 2; }
[[ $seed =~ ^-?[0-9]+$ ]] || { echo "soak.sh: --seed takes a whole number" >&2; exit 2; }

# ---- The programs -------------------------------------------------------------
build=$(realpath -m "${build:-$root/build/release}")  # the show is made in a scratch folder
VISTEL_PLAYER=${VISTEL_PLAYER:-$build/apps/player/vistel-player}
VISTEL_PACK=${VISTEL_PACK:-$build/apps/pack/vistel-pack}
media_tool=$build/bench/vistel_soak_media
export VISTEL_PLAYER VISTEL_PACK
if [[ ! -x $VISTEL_PLAYER || ! -x $VISTEL_PACK || ! -x $media_tool ]]; then
  if [[ $build == "$root/build/release" && ! -f $build/build.ninja ]]; then
    (cd "$root" && cmake --preset release >/dev/null)
  fi
  cmake --build "$build" -j2 --target vistel-player vistel-pack vistel_soak_media >&2 ||
    { echo "soak.sh: cannot build the programs in $build" >&2; exit 2; }
fi

# shellcheck source=../tests/tools/x_session.bash
source "$root/tests/tools/x_session.bash"
work=$(mktemp -d /tmp/vistel-soak.XXXXXX)
if ((keep)); then
  trap 'x_cleanup; echo "soak.sh: kept $work"' EXIT
else
  trap 'x_cleanup; rm -rf "$work"' EXIT
fi
if ((desktop)); then
  x_require_tools Xvfb
  x_require_desktop_player
fi

# ---- The show -------------------------------------------------------------------
cd "$work"
mkdir -p media tmp
x_make_media media
"$media_tool" media || { echo "soak.sh: cannot make the soak's own media" >&2; exit 2; }
order=false
((random)) && order=true
# Effects last 800 ms and image screens stay 2 s: the show goes round often,
# so whatever a screen step leaks adds up fast.
cat >show.json <<EOF
{
  "RandomScreenOrder": $order, "RandomEffects": $order, "RepeatAudio": true,
  "tracks": [{"file": "media/tune.wav"}, {"file": "media/tune.mp3"}, {"file": "media/tune.mid"}],
  "screens": [
    {"BackgroundColor": "#102030", "image": "media/landscape.jpg", "ImageSizing": 2,
     "DisplaySeconds": 2, "CaptionText": "Shrunk to fit", "CaptionFontSize": 18, "CaptionBold": 1},
    {"background": "media/backdrop.jpg", "image": "media/checker.png", "ImageSizing": 4,
     "ImageScale": 175, "ImagePlacement": 9, "ImageXDivisor": 6, "ImageYDivisor": 5,
     "DisplaySeconds": 2, "EffectCode": 2000, "EffectParam2": 800,
     "CaptionText": "Zoomed 175 %\nplaced by divisors", "CaptionFontName": "Times New Roman",
     "CaptionItalic": 1, "CaptionAppearance": 1, "CaptionPlacement": 8},
    {"BackgroundColor": "#144628", "image": "media/shapes.bmp", "ImageSizing": 1,
     "DisplaySeconds": 2, "EffectCode": 2084, "EffectParam1": 1, "EffectParam2": 800,
     "CaptionText": "Stretched", "CaptionBold": 1, "CaptionItalic": 1, "CaptionAppearance": 1,
     "CaptionPlacement": 1, "CaptionForeColor": "#FFFFC8", "CaptionBackColor": "#3C1E5A"},
    {"background": "media/backdrop.jpg", "image": "media/badge.png", "ImagePlacement": 5,
     "ImageOptionFlag": true, "ImageOptionColor": "#00FF00", "ImageBackColor": "#202020",
     "DisplaySeconds": 2, "EffectCode": -100, "CrossFadeParam": 24,
     "CaptionText": "Transparency, cross-faded", "CaptionPlacement": 2},
    {"background": "media/backdrop.jpg", "video": "media/clip.mpg", "VideoSize": 7,
     "EffectCode": 6000, "EffectParam2": 800, "CaptionText": "A clip twice its size"},
    {"image": "media/landscape.jpg", "ImageSizing": 3, "ImagePlacement": 8,
     "DisplaySeconds": 2, "EffectCode": 4006, "EffectParam2": 800, "EffectParam6": 36095,
     "CaptionText": "Caption by divisors", "CaptionPlacement": 9, "CaptionXDivisor": 10,
     "CaptionYDivisor": 1.25, "CaptionAppearance": 1},
    {"BackgroundColor": "#32143C", "image": "media/small-scene.jpg", "ImageSizing": 2,
     "DisplaySeconds": 2, "EffectCode": 7000, "EffectParam2": 800, "EffectParam11": 12,
     "CaptionText": "Enlarged to fit", "CaptionPlacement": 5, "CaptionItalic": 1},
    {"background": "media/backdrop.jpg", "image": "media/checker.png", "ImagePlacement": 3,
     "DisplaySeconds": 2, "EffectCode": 8000, "EffectParam2": 800,
     "CaptionText": "Where the last caption was", "CaptionPlacement": -1},
    {"BackgroundColor": "#005A64", "image": "media/shapes.bmp", "ImageSizing": 4,
     "ImageScale": 150, "ImagePlacement": 6, "DisplaySeconds": 2, "EffectCode": 16000,
     "EffectParam2": 800, "CaptionText": "Zoomed 150 %", "CaptionPlacement": 6,
     "CaptionAppearance": 1, "CaptionFontSize": 16},
    {"BackgroundColor": "#0A1028", "image": "media/badge.png", "DisplaySeconds": 2,
     "EffectCode": 15018, "EffectParam2": 800, "EffectParam4": 7,
     "CaptionText": "Dissolved in\nover two lines"},
    {"BackgroundColor": "#400000", "DisplaySeconds": 2, "EffectCode": 2160, "EffectParam2": 800,
     "CaptionText": "Colour and caption only", "CaptionPlacement": 0, "CaptionFontSize": 20},
    {"background": "media/backdrop.jpg", "DisplaySeconds": 2, "EffectCode": 2240,
     "EffectParam2": 800},
    {"video": "media/clip.mpg", "VideoSize": 0, "VideoPlacement": 1},
    {"image": "media/scene.gif", "ImageSizing": 2, "DisplaySeconds": 2, "EffectCode": 2320,
     "EffectParam2": 800, "CaptionText": "GIF", "CaptionPlacement": 7},
    {"background": "media/backdrop.jpg", "image": "media/shapes.tif", "ImagePlacement": 7,
     "DisplaySeconds": 2, "EffectCode": 2400, "EffectParam2": 800, "EffectParam4": 3,
     "CaptionText": "TIFF in a font that is not there", "CaptionFontName": "No Such Font"},
    {"image": "media/small-scene.jpg", "ImageSizing": 4, "ImageScale": 50, "ImagePlacement": 4,
     "DisplaySeconds": 2, "EffectCode": 2480, "EffectParam2": 800, "EffectParam4": 5,
     "CaptionText": "Half its size", "CaptionAppearance": 1},
    {"BackgroundColor": "#203040", "image": "media/landscape.jpg", "ImageSizing": 1,
     "DisplaySeconds": 2, "EffectCode": 4015, "EffectParam2": 800},
    {"background": "media/backdrop.jpg", "image": "media/badge.png", "ImageSizing": 3,
     "DisplaySeconds": 2, "EffectCode": 5000, "EffectParam2": 800,
     "CaptionText": "Iris", "CaptionPlacement": 3},
    {"BackgroundColor": "#283C14", "image": "media/shapes.bmp", "DisplaySeconds": 2,
     "EffectCode": 5088, "EffectParam2": 800, "CaptionText": "Barn door",
     "CaptionAppearance": 1, "CaptionPlacement": 4},
    {"image": "media/scene.gif", "ImageSizing": 1, "DisplaySeconds": 2, "EffectCode": 5176,
     "EffectParam2": 800, "CaptionText": "Clock sweep", "CaptionPlacement": 8},
    {"background": "media/backdrop.jpg", "image": "media/small-scene.jpg", "DisplaySeconds": 2,
     "EffectCode": 6132, "EffectParam2": 800, "EffectParam10": 4, "CaptionText": "Slats",
     "CaptionAppearance": 1, "CaptionPlacement": 1},
    {"BackgroundColor": "#101010", "image": "media/shapes.tif", "ImageSizing": 2,
     "DisplaySeconds": 2, "EffectCode": 6264, "EffectParam2": 800},
    {"background": "media/backdrop.jpg", "image": "media/checker.png", "ImageSizing": 4,
     "ImageScale": 300, "DisplaySeconds": 2, "EffectCode": 6396, "EffectParam2": 800,
     "CaptionText": "Reveal", "CaptionPlacement": 7, "CaptionBold": 1},
    {"image": "media/landscape.jpg", "ImageSizing": 2, "DisplaySeconds": 2, "EffectCode": 7132,
     "EffectParam2": 800, "EffectParam11": 6, "CaptionText": "Snake", "CaptionAppearance": 1},
    {"BackgroundColor": "#3C0A28", "image": "media/badge.png", "ImagePlacement": 1,
     "DisplaySeconds": 2, "EffectCode": 8130, "EffectParam2": 800,
     "CaptionText": "Pixelated", "CaptionPlacement": 5},
    {"background": "media/backdrop.jpg", "image": "media/scene.gif", "ImageSizing": 0,
     "DisplaySeconds": 2, "EffectCode": 15000, "EffectParam2": 800,
     "CaptionText": "Through a colour", "CaptionPlacement": 0, "CaptionAppearance": 1},
    {"image": "media/shapes.bmp", "ImageSizing": 2, "DisplaySeconds": 2, "EffectCode": 16018,
     "EffectParam2": 800, "EffectParam3": 10, "CaptionText": "Soft iris", "CaptionItalic": 1},
    {"background": "media/backdrop.jpg", "video": "media/clip.mpg", "VideoSize": 3,
     "VideoPlacement": 9, "VideoXDivisor": 3, "VideoYDivisor": 4, "EffectCode": -100,
     "CrossFadeParam": 128, "CaptionText": "A clip cross-faded in", "CaptionAppearance": 1,
     "CaptionPlacement": -1},
    {"BackgroundColor": "#000000", "image": "media/small-scene.jpg", "ImageSizing": 1,
     "DisplaySeconds": 0.5, "EffectCode": -100, "CrossFadeParam": 2}
  ]
}
EOF
x_build_show show.json show.scr
screens=$(grep -c '^    {' show.json)
tracks=3

# ---- The run --------------------------------------------------------------------
run_ms=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 3600000 + 0.5 }')
rows=24
row_ms=$(((run_ms + rows - 1) / rows))
poll=0.5
trace=$work/trace.jsonl
player_options=(--package show.scr --temp "$work/tmp" --registry "$work/registry.reg"
  --trace "$trace" --run-for "$(awk -v ms="$run_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  --seed "$seed")
server_pid=""
if ((desktop)); then
  poll=1
  export X_LOG_DIR=$work
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  x_start_server "$screen" >/dev/null
  server_pid=${x_pids[0]}
  what="desktop host on Xvfb ${screen}, real time"
  "$VISTEL_PLAYER" "${player_options[@]}" /s >player.out 2>&1 &
else
  what="headless ${screen}, show time"
  "$VISTEL_PLAYER" --headless --screen "$screen" "${player_options[@]}" /s >player.out 2>&1 &
fi
player_pid=$!
x_track "$player_pid"
variant="in order"
((random)) && variant="random order and effects"
echo "soak: $what, ${hours} h; $screens screens ($variant), $tracks tracks repeating; seed $seed"
start_wall=$(date +%s)

# hms MS: h:mm:ss.
hms() { awk -v ms="$1" 'BEGIN { s = int(ms / 1000); printf "%d:%02d:%02d", s / 3600, s % 3600 / 60, s % 60 }'; }
# memory PID: the resident set in KiB, from /proc (fails once the process is gone).
memory() {
  awk '/^VmRSS:/ { r = $2 } END { if (r == "") exit 1; print r }' "/proc/$1/status" 2>/dev/null
}
# cpu_ticks PID: user + system time in clock ticks (fields 14 and 15 of
# /proc/PID/stat; counted from the ")" that closes the command name).
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}
# show_ms: the time of the trace's last whole line (every line is flushed).
show_ms() {
  tail -c 8192 "$trace" 2>/dev/null | sed '$d' |
    awk -F'"t":' 'NF > 1 { split($2, n, /[,}]/); if (n[1] + 0 > t) t = n[1] + 0 } END { printf "%d", t }'
}
# warm_ms: when the show has gone round every screen and the music round every
# track (the next screen step, the next track opened after those); empty before.
warm_ms() {
  awk -v screens="$screens" -v tracks="$tracks" '
    function t_of(line,  n) { split(substr(line, index(line, "\"t\":") + 4), n, /[,}]/); return n[1] + 0 }
    /"ev":"screen"/ {
      if (shown == screens && !screens_done) screens_done = t_of($0)
      if (!screens_done) { i = $0; sub(/.*"index":/, "", i); i += 0; if (!(i in seen)) { seen[i]; shown++ } }
    }
    /"ev":"mci","command":"open / {
      f = $0; sub(/.*"command":"open \\"/, "", f); sub(/\\".*/, "", f)
      if (opened == tracks && !music_done) music_done = t_of($0)
      if (!music_done && !(f in files)) { files[f]; opened++ }
    }
    screens_done && music_done { print (screens_done > music_done ? screens_done : music_done); exit }
  ' "$trace" 2>/dev/null
}

# Within one pass of the show the RSS swings by 20 MB and more (pictures
# decoded at full size, a clip's decoder, a cross-fade's frames), so single
# readings cannot be compared. Readings at one a second fall at all points of
# the pass, and their mean over a window of show time is steady to about a
# MB: a leak moves it. The rows are windows of 1/24 of the run, with the mean,
# the lowest and the highest reading; the start and end figures are the means
# over a window as long as a row (and at least as long as the first pass of
# the show) right after the warm-up and right before the end.
samples=$work/samples.tsv  # show ms, wall s, player RSS KiB, Xvfb RSS KiB
: >"$samples"
warm="" ticks=0 row_end=0 row_n=0 row_sum=0 row_min=0 row_max=0 row_server=0
printf '  %-10s %-9s %10s %10s %10s%s\n' "show time" "wall" "mean KiB" "lowest" "highest" \
  "$( ((desktop)) && printf ' %10s' 'Xvfb KiB')"
print_row() {
  printf '  %-10s %-9s %10s %10s %10s%s\n' "$(hms "$1")" "$(hms $(($2 * 1000)))" \
    $((row_sum / row_n)) "$row_min" "$row_max" "$( ((desktop)) && printf ' %10s' "$row_server")"
  row_n=0 row_sum=0 row_min=0 row_max=0
}
while x_alive "$player_pid"; do
  sleep "$poll"
  rss=$(memory "$player_pid") || break
  ms=$(show_ms)
  t=$(cpu_ticks "$player_pid") && ticks=$t
  if [[ -z $warm ]]; then
    warm=$(warm_ms)
    [[ -n $warm ]] || continue
    row_end=$(((warm / row_ms + 1) * row_ms))
    echo "  (warm after $(hms "$warm") of show: every screen and every track once)"
  fi
  # Once the time is up the player frees what it holds on its way out.
  ((ms < run_ms)) || break
  server=0
  if [[ -n $server_pid ]]; then
    server=$(memory "$server_pid") || server=0
  fi
  now=$(($(date +%s) - start_wall))
  if ((ms >= row_end && row_n > 0)); then
    print_row "$row_end" "$now"
    row_end=$(((ms / row_ms + 1) * row_ms))
  fi
  echo "$ms $now $rss $server" >>"$samples"
  ((row_n += 1, row_sum += rss))
  if ((row_min == 0 || rss < row_min)); then row_min=$rss; fi
  if ((rss > row_max)); then row_max=$rss; fi
  row_server=$server
done
wait "$player_pid" && code=0 || code=$?
wall=$(($(date +%s) - start_wall))
if [[ ! -s $samples ]]; then
  echo "soak.sh: the run ended before the show went round once (exit code $code):" >&2
  tail -n 20 player.out >&2
  exit 1
fi
((row_n == 0)) || print_row "$(tail -n 1 "$samples" | cut -d' ' -f1)" "$wall"

window=$((row_ms > warm ? row_ms : warm))
# Means of the player's RSS and the Xvfb's over the first and the last window,
# the readings in each, and the least-squares slope of all readings.
read -r start_ms start_rss start_server start_n end_ms end_rss end_server end_n slope \
  < <(awk -v window="$window" '
  { ms[NR] = $1; rss[NR] = $3; server[NR] = $4
    x = $1 / 3600000; sx += x; sy += $3; sxx += x * x; sxy += x * $3 }
  END {
    n = NR; first = ms[1]; last = ms[n]
    for (i = 1; i <= n; i++) {
      if (ms[i] < first + window) { s++; srss += rss[i]; sserver += server[i] }
      if (ms[i] > last - window) { e++; erss += rss[i]; eserver += server[i] }
    }
    d = n * sxx - sx * sx
    printf "%d %d %d %d %d %d %d %d %.1f\n", first, srss / s, sserver / s, s, last, erss / e,
      eserver / e, e, (d > 0 ? (n * sxy - sx * sy) / d : 0)
  }' "$samples")

growth=$((end_rss - start_rss))
echo "RSS at the start $start_rss KiB (mean of $start_n readings from $(hms "$start_ms")," \
  "window $(hms "$window")), at the end $end_rss KiB ($end_n readings to $(hms "$end_ms"))"
echo "growth $growth KiB; trend of all $(wc -l <"$samples") readings $slope KiB per hour"
echo "wall time $(hms $((wall * 1000))), the player's CPU time $(hms $((ticks * 1000 / $(getconf CLK_TCK))))"
if ((start_ms + window > end_ms - window)); then
  echo "(the first and last windows overlap: too short a run to tell slow growth)"
fi
if ((desktop)); then
  echo "Xvfb RSS at the start $start_server KiB, at the end $end_server KiB," \
    "growth $((end_server - start_server)) KiB"
fi

verdict=0
if ((code != 0)); then
  echo "the player ended with exit code $code:" >&2
  tail -n 20 player.out >&2
  verdict=1
fi
# The run must have lasted: a player that died early has not soaked.
if ((end_ms < run_ms - run_ms / 20 - 30000)); then
  echo "the last reading is at $(hms "$end_ms") of $(hms "$run_ms"): the run ended early" >&2
  verdict=1
fi
if ((growth * 1024 < 5000000)); then
  echo "goal: growth < 5 MB: met"
else
  echo "goal: growth < 5 MB: NOT met"
  verdict=1
fi
exit "$verdict"
