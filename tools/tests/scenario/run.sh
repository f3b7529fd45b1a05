#!/usr/bin/env bash
# Runs the scenario tests, one after the other, each on its own throw-away device:
#
#   tools/tests/scenario/run.sh                 every tools/tests/scenario/*_scenario.sh
#   tools/tests/scenario/run.sh album ...       the named ones ("album" or album_scenario.sh)
#
# The last line is "N passed, M failed"; the exit status is 1 when one failed. Each scenario
# may take CRV_SCENARIO_TIMEOUT seconds (default 300). The Windows build comes from
# CRV_BUILD_DIR (default build/win) and is not built here; CRV_SCENARIO_KEEP=1 keeps every
# scenario's device and screenshots.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
timeout_s=${CRV_SCENARIO_TIMEOUT:-300}

# find_scenario NAME: the script of a scenario named as on the command line.
find_scenario() {
  local f
  for f in "$1" "$here/$1" "$here/$1.sh" "$here/${1}_scenario.sh"; do
    case $f in *_scenario.sh) [ -f "$f" ] && { echo "$f"; return 0; } ;; esac
  done
  return 1
}

scenarios=()
failed=()
if [ $# -eq 0 ]; then
  for f in "$here"/*_scenario.sh; do [ -f "$f" ] && scenarios+=("$f"); done
  [ ${#scenarios[@]} -gt 0 ] || failed+=("(no *_scenario.sh in $here)")
else
  for a in "$@"; do
    if f=$(find_scenario "$a"); then scenarios+=("$f"); else failed+=("$a (no such scenario)"); fi
  done
fi

passed=0
for f in ${scenarios[@]+"${scenarios[@]}"}; do
  name=${f##*/}
  name=${name%_scenario.sh}
  echo "=== $name"
  start=$SECONDS
  rc=0
  timeout -k 30 "$timeout_s" bash "$f" </dev/null || rc=$?
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
    echo "=== $name passed ($((SECONDS - start)) s)"
  else
    [ "$rc" -ne 124 ] || echo "=== $name took more than $timeout_s s" >&2
    failed+=("$name")
    echo "=== $name FAILED ($((SECONDS - start)) s)"
  fi
done

[ ${#failed[@]} -eq 0 ] || printf 'failed: %s\n' "${failed[@]}"
echo "$passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
