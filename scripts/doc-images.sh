#!/usr/bin/env bash
# Makes the pictures of docs/images/ with the real programs: small shows over
# the demo's media, played headless, snapshots of the screen, put side by
# side with labels (ImageMagick). Run it again whenever the player's drawing
# changes, so that the pictures stay true:
#
#   bash scripts/doc-images.sh [BUILD_DIR]      (default: build/ci)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/ci}
pack=$build/apps/pack/vistel-pack
player=$build/apps/player/vistel-player
out=$root/docs/images
for program in "$pack" "$player"; do
  [[ -x $program ]] || { echo "missing $program; build it first" >&2; exit 1; }
done
command -v montage >/dev/null || { echo "ImageMagick's montage is needed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vistel-doc-images-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/media"
cd "$work"

"$pack" demo -o demo.scr --player "$player" --media-dir media >/dev/null
rm demo.scr
# A wide picture much larger than the screens below, and one smaller than them.
convert media/landscape.jpg -crop 1600x800+0+250 +repage -quality 90 media/wide-large.jpg
convert media/landscape.jpg -crop 1600x800+0+250 +repage -resize 200x100 -quality 90 \
  media/wide-small.jpg

# play NAME SIZE END TIMES...: builds NAME.json into a package, plays it on a
# screen of SIZE until END and writes a snapshot NAME-I.png at each time
# (seconds of the virtual clock).
play() {
  local name=$1 size=$2 end=$3
  shift 3
  local args=() i=0
  for t in "$@"; do
    args+=(--snapshot "$t:$name-$i.png")
    i=$((i + 1))
  done
  "$pack" build "$name.json" -o "$name.scr" --player "$player" >/dev/null
  "$player" --headless --package "$name.scr" --screen "$size" --seed 1 "${args[@]}" \
    --run-for "$end" /s
  rm "$name.scr"
}

# panel LABEL PNG: adds one labelled panel to the next sheet ("%%" in a
# label is a "%").
labels=()
panel() { labels+=(-label "$1" "$2"); }

# sheet OUT COLUMNS: the panels given so far, side by side, then none.
sheet() {
  montage -font DejaVu-Sans -pointsize 13 "${labels[@]}" -tile "$2" -geometry +3+3 \
    -background white -define png:exclude-chunks=date,time "$out/$1"
  labels=()
}

# --- ImageSizing 0..4, a larger and a smaller picture ------------------------------
# Screen k shows from k seconds on (one second each, plain repaints).
{
  echo '{"screens": ['
  for picture in wide-large wide-small; do
    for sizing in 0 1 2 3 4; do
      scale=100
      if [[ $sizing == 4 ]]; then scale=$([[ $picture == wide-large ]] && echo 15 || echo 150); fi
      echo "{\"BackgroundColor\": \"#28385A\", \"image\": \"media/$picture.jpg\","
      echo " \"ImageSizing\": $sizing, \"ImageScale\": $scale, \"DisplaySeconds\": 1},"
    done
  done
  echo '{"BackgroundColor": "#000000"}]}'
} >sizing.json
play sizing 240x180 10 0.5 1.5 2.5 3.5 4.5 5.5 6.5 7.5 8.5 9.5
names=("0: own size" "1: stretched" "2: fitted" "3: fitted, never enlarged" "4: zoom")
for i in 0 1 2 3 4; do
  scale=""
  [[ $i == 4 ]] && scale=" 15 %%"
  panel "${names[$i]}$scale, 1600x800" "sizing-$i.png"
  [[ $i == 4 ]] && scale=" 150 %%"
  panel "${names[$i]}$scale, 200x100" "sizing-$((i + 5)).png"
done
sheet sizing.png 2x5

# --- Placement codes 0..9 (9 with divisors 4 and 3) ----------------------------------
{
  echo '{"screens": ['
  for code in 0 1 2 3 4 5 6 7 8 9; do
    echo "{\"BackgroundColor\": \"#28385A\", \"image\": \"media/small-scene.jpg\","
    echo " \"ImageSizing\": 4, \"ImageScale\": 20, \"ImagePlacement\": $code,"
    echo " \"ImageXDivisor\": 4, \"ImageYDivisor\": 3, \"DisplaySeconds\": 1},"
  done
  echo '{"BackgroundColor": "#000000"}]}'
} >placement.json
play placement 160x120 10 0.5 1.5 2.5 3.5 4.5 5.5 6.5 7.5 8.5 9.5
where=("centre" "top left" "middle left" "bottom left" "bottom centre" "bottom right"
  "middle right" "top right" "top centre" "9: W/4, H/3")
for i in 0 1 2 3 4 5 6 7 8 9; do
  label="$i: ${where[$i]}"
  [[ $i == 9 ]] && label=${where[$i]}
  panel "$label" "placement-$i.png"
done
sheet placement.png 5x2

# --- VideoSize 0..7 -----------------------------------------------------------------
# A video screen moves on half a second after its 4-second clip: screen k
# starts at 4.5 k seconds; each snapshot is 2 seconds into the clip.
{
  echo '{"screens": ['
  for size in 0 1 2 3 4 5 6 7; do
    [[ $size == 0 ]] || echo ","
    echo "{\"background\": \"media/backdrop.jpg\", \"video\": \"media/clip.mpg\", \"VideoSize\": $size}"
  done
  echo ']}'
} >video.json
play video 320x240 34 2 6.5 11 15.5 20 24.5 29 33.5
factors=(0.25 0.5 0.75 1 1.25 1.5 1.75 2)
for i in 0 1 2 3 4 5 6 7; do
  convert "video-$i.png" -resize 50% "video-half-$i.png"
  panel "$i: x ${factors[$i]}" "video-half-$i.png"
done
sheet video-size.png 4x2

# --- A cross-fade of 10 steps, one step every 100 ms -----------------------------------
cat >crossfade.json <<'EOF'
{"screens": [
  {"image": "media/small-scene.jpg", "ImageSizing": 1, "DisplaySeconds": 1},
  {"image": "media/shapes.bmp", "ImageSizing": 1, "EffectCode": -100, "CrossFadeParam": 10,
   "DisplaySeconds": 0}
]}
EOF
"$pack" build crossfade.json -o crossfade.scr --player "$player" >/dev/null
"$player" --headless --package crossfade.scr --screen 160x120 --frame-ms 100 \
  --snapshot 1.05:crossfade-0.png --snapshot 1.35:crossfade-1.png \
  --snapshot 1.65:crossfade-2.png --snapshot 2.5:crossfade-3.png --run-for 2.6 /s
rm crossfade.scr
panel "step 0" crossfade-0.png
panel "step 3" crossfade-1.png
panel "step 6" crossfade-2.png
panel "step 10" crossfade-3.png
sheet crossfade.png 4x1

# --- Paint effects: one code of each group, half-way through --------------------------
effects=(2004 2164 4015 5002 5088 6000 7000 8000 15018 16000)
{
  echo '{"screens": [{"image": "media/small-scene.jpg", "ImageSizing": 1, "DisplaySeconds": 1}'
  for code in "${effects[@]}"; do
    echo ",{\"image\": \"media/shapes.bmp\", \"ImageSizing\": 1, \"EffectCode\": $code,"
    echo "  \"EffectParam2\": 1000, \"DisplaySeconds\": 0.5}"
    echo ",{\"image\": \"media/small-scene.jpg\", \"ImageSizing\": 1, \"DisplaySeconds\": 1}"
  done
  echo ']}'
} >effects.json
# Screen 2k+1 (the effect) starts at 2.5 k + 1 seconds; half its 1 s later:
# 2.5 k + 1.5.
times=()
for k in "${!effects[@]}"; do times+=("$(awk "BEGIN { print 2.5 * $k + 1.5 }")"); done
play effects 160x120 26 "${times[@]}"
for k in "${!effects[@]}"; do panel "${effects[$k]}" "effects-$k.png"; done
sheet effects.png 5x2

# --- Captions: flat and three-dimensional ----------------------------------------------
cat >caption.json <<'EOF'
{"screens": [
  {"background": "media/backdrop.jpg", "DisplaySeconds": 1,
   "CaptionText": "Café crème\nà la carte", "CaptionFontName": "Arial", "CaptionFontSize": 16,
   "CaptionPlacement": 0},
  {"background": "media/backdrop.jpg", "DisplaySeconds": 0,
   "CaptionText": "Café crème\nà la carte", "CaptionFontName": "Times New Roman",
   "CaptionFontSize": 16, "CaptionBold": 1, "CaptionItalic": 1, "CaptionAppearance": 1,
   "CaptionForeColor": "#FFFFFF", "CaptionBackColor": "#803020", "CaptionPlacement": 0}
]}
EOF
play caption 240x120 2 0.5 1.5
panel "flat, Arial 16" caption-0.png
panel "3-D, bold italic, Times 16" caption-1.png
sheet caption.png 2x1

ls -l "$out"
