# The checks the command-line tests share. A failed check is counted and the
# test goes on, so one run lists every failure; the script exits 1 at its end
# when any was counted.

failures=0

# fail MESSAGE: counts a failure and says what it was.
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect CODE COMMAND...: runs the command, keeps its output in out.txt and
# err.txt, and checks its exit code.
expect() {
  local want=$1
  shift
  local got=0
  "$@" >out.txt 2>err.txt || got=$?
  if [[ $got != "$want" ]]; then
    fail "expected exit $want from '$*', got $got; stderr: $(cat err.txt)"
  fi
}

# contains FILE TEXT: the file holds the text.
contains() {
  grep -qF -- "$2" "$1" || fail "expected $1 to contain '$2'; it holds: $(cat "$1")"
}
