# Sourced by the decode tool's tests: a throw-away working folder (the current directory from
# here on), the failure count, and reading the tool's "key: value" lines.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { tr -d '\r' <"$1" | sed -n "s/^$2: //p"; }
expect_field() {  # file key value
  local got
  got=$(field "$1" "$2")
  [ "$got" = "$3" ] || fail "$1: $2 is '$got', expected '$3'"
}
