#!/usr/bin/env bash
# Peak memory of the player and of vistel-pack on crafted hostile inputs: a
# few kilobytes that must not cost gigabytes.
#
#   bench/hostile_inputs.sh [BUILD_DIR]   (default: build/ci; or set
#                                          VISTEL_PLAYER, VISTEL_PACK)
#
# Builds each input in a scratch folder (some are tens of megabytes, so they
# are made here, never kept in the repository), runs the program on it under
# /usr/bin/time -v and prints the peak resident set size, the exit code and
# the first line of what it said. Inputs:
#   deep.reg      --registry: one key 20,000 levels deep (40 KB)
#   empty.scr     a 16 MiB configuration text: one screen group, then empty
#                 lines (1.68 million empty screen groups for a reader that
#                 takes them all); run through the player, check, inspect --json
#   deepest.reg   --registry: the deepest key of the longest names allowed
#   junk-*.jsonl  --input: 50 MB of junk of three kinds (one huge string in a
#                 field, deep nesting, and well-formed events); small-*.jsonl
#                 the same in 4 MB, within the size limit
# Memory, not time, so not a ctest test. SKIP_INSPECT=1 leaves out inspect
# --json, which an unbounded build takes gigabytes for.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/ci}")  # the runs happen in a scratch folder
player=${VISTEL_PLAYER:-$build/apps/player/vistel-player}
pack=${VISTEL_PACK:-$build/apps/pack/vistel-pack}
[[ -x $player && -x $pack ]] || {
  echo "no vistel-player / vistel-pack in $build (build them, or set VISTEL_PLAYER)" >&2
  exit 2
}
[[ -x /usr/bin/time ]] || {
  echo "needs GNU time at /usr/bin/time" >&2
  exit 2
}

work=$(mktemp -d /tmp/vistel-hostile.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- the inputs
python3 - <<'EOF'
levels = 20000
with open("deep.reg", "wb") as f:
    f.write(b"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + b"\\".join([b"a"] * levels) + b"]\r\n")

# The configuration text: [GLOBAL], one screen group, then CR LF up to 16 MiB.
sep = b"\xff"
config = sep.join([b"[GLOBAL]", b"P", b"T", b"W", b"False", b"False", b"False"]) + b"\r\n"
config += b"[SCREEN-GLOBAL]" + sep + b"0\r\n"
config += b"[SCREEN-BACKGROUND]" + sep + b"0\r\n"
config += b"[SCREEN-IMAGE]" + sep.join([b""] + [b"0"] * 25 + [b"5"]) + b"\r\n"
config += b"[SCREEN-VIDEO]\r\n[SCREEN-CAPTION]\r\n"
limit = 16 << 20
config += b"\r\n" * ((limit - len(config)) // 2)
player = b"MZ" + b"\0" * 62
with open("empty.scr", "wb") as f:
    f.write(player + config + b"%020d" % len(player))

# The deepest key of the longest names the limits allow.
with open("deepest.reg", "wb") as f:
    names = [bytes([97 + i % 26]) * 255 for i in range(512)]
    f.write(b"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + b"\\".join(names) + b"]\r\n")

def junk(name, size):
    with open(name + "-string.jsonl", "wb") as f:
        f.write(b'{"t":1,"ev":"key","code":"' + b"A" * size + b'"}\n')
    with open(name + "-nesting.jsonl", "wb") as f:
        f.write(b"[" * size + b"\n")
    event = b'{"t":1,"ev":"key","code":65}\n'
    with open(name + "-events.jsonl", "wb") as f:
        f.write(event * (size // len(event)))

junk("junk", 50 * 1000 * 1000)
junk("small", 4 * 1000 * 1000)  # just within the size limit
EOF

# ---- the runs
run() {
  local label=$1
  shift
  local rc=0
  /usr/bin/time -v -o time.txt "$@" >out.txt 2>err.txt || rc=$?
  local kb
  kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' time.txt)
  local said
  said=$(head -n 1 err.txt | cut -c 1-150)
  printf '%-34s %8.1f MB  exit %-3s %s\n' "$label" "$(awk -v k="$kb" 'BEGIN {print k / 1024}')" "$rc" "$said"
}

headless=("$player" --headless --run-for 1 --temp "$work" --system "$work")
cp deep.reg run.reg
run "registry 20,000 levels" "${headless[@]}" --package none.scr --registry run.reg
printf '%-34s %8s bytes\n' "  ... written back" "$(stat -c %s run.reg)"
run "  ... the next start" "${headless[@]}" --package none.scr --registry run.reg
cp deepest.reg run.reg
run "registry 512 levels of 255 chars" "${headless[@]}" --package none.scr --registry run.reg
printf '%-34s %8s bytes\n' "  ... written back" "$(stat -c %s run.reg)"
run "16 MiB of empty lines: player" "${headless[@]}" --package empty.scr
run "16 MiB of empty lines: check" "$pack" check empty.scr
if [[ ${SKIP_INSPECT:-0} != 1 ]]; then
  run "16 MiB of empty lines: inspect --json" "$pack" inspect --json empty.scr
  printf '%-34s %8s bytes\n' "  ... output" "$(stat -c %s out.txt)"
fi
for size in junk small; do
  for kind in string nesting events; do
    run "$size --input ($kind)" "${headless[@]}" --package none.scr --input "$size-$kind.jsonl"
    printf '%-34s %8s bytes\n' "  ... error message" "$(wc -c <err.txt)"
  done
done
