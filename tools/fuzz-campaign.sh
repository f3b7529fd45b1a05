#!/usr/bin/env bash
# A fuzzing campaign over the fuzz build, longer than the short runs of CI:
#   tools/fuzz-campaign.sh [SECONDS] [TARGET...]
# runs every fuzz target (or the named ones; "crv_qt_atoms_fuzz" or just "qt_atoms") for
# SECONDS each (default 300), two at a time, carrying on past crashes; then, per target,
#  - minimises its corpus folder in the repository: the smallest set of inputs that covers
#    what the old corpus and the new finds cover (libFuzzer's -merge=1) replaces it;
#  - copies every crash, leak, timeout and out-of-memory input into its regressions folder,
#    which every CI run replays (so CI fails until the fault is fixed);
# and prints one line per target: "target executions=N new-corpus-files=M findings=K".
#
# It builds nothing: it takes the fuzz build of tools/test-all.sh (build/fuzz, made with
# CRV_TEST_STEPS=fuzz tools/test-all.sh or `cmake --build build/fuzz --target crv_fuzzers`).
# Logs and work folders are in build/fuzz/fuzz-campaign/<target>/.
# Environment: CRV_FUZZ_BUILD (the build folder), CRV_FUZZ_PARALLEL (targets at a time, 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CRV_FUZZ_BUILD:-$root/build/fuzz}
manifest=$build/fuzz-targets.tsv
parallel=${CRV_FUZZ_PARALLEL:-2}
seconds=300
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

die() {
  echo "fuzz-campaign: $*" >&2
  exit 1
}
[ -f "$manifest" ] || die "no fuzz build in $build: run CRV_TEST_STEPS=fuzz tools/test-all.sh first"

# The manifest: target, program, corpus folder, regressions folder, max_len, extra flags.
declare -A program corpus regressions max_len options
all=()
while IFS=$'\t' read -r name prog corp regr len opts; do
  [[ -z $name || $name == \#* ]] && continue
  all+=("$name")
  program[$name]=$prog corpus[$name]=$corp regressions[$name]=$regr max_len[$name]=$len options[$name]=$opts
done <"$manifest"

chosen=()
for wanted in "$@"; do
  found=
  for name in "${all[@]}"; do
    if [[ $name == "$wanted" || $name == "crv_${wanted}_fuzz" ]]; then
      chosen+=("$name")
      found=1
    fi
  done
  [ -n "$found" ] || die "no target $wanted; there are: ${all[*]}"
done
[ ${#chosen[@]} -gt 0 ] || chosen=("${all[@]}")
for name in "${chosen[@]}"; do
  [ -x "${program[$name]}" ] || die "${program[$name]} is not built: cmake --build $build --target crv_fuzzers"
done

campaign=$build/fuzz-campaign
mkdir -p "$campaign"

# Regular files of a folder, without its README and hidden files.
inputs() { find "$1" -maxdepth 1 -type f ! -name 'README*' ! -name '.*' -print0; }

run_target() {
  local name=$1
  local prog=${program[$name]} corp=${corpus[$name]} regr=${regressions[$name]} len=${max_len[$name]}
  local -a flags
  read -r -a flags <<<"${options[$name]}"
  flags+=(-max_len="$len" -timeout=10 -rss_limit_mb=2048)
  local work=$campaign/$name
  rm -rf "$work"
  mkdir -p "$work/new" "$work/artifacts" "$work/merged"

  # Fuzzing in a child process that is started again after a crash; new inputs go to the
  # work folder, the repository's corpus only seeds the run.
  "$prog" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -max_total_time="$seconds" \
    "${flags[@]}" -artifact_prefix="$work/artifacts/" "$work/new" "$corp" >"$work/fuzz.log" 2>&1 || true
  local executions
  executions=$(grep -oE '^#[0-9]+' "$work/fuzz.log" | tail -n1 | tr -d '#' || true)

  # Minimising: the old corpus and the new finds into an empty folder, which then takes the
  # corpus folder's place (libFuzzer names what it keeps by the SHA-1 of its bytes).
  local fresh=0
  if "$prog" -merge=1 "${flags[@]}" "$work/merged" "$corp" "$work/new" >"$work/merge.log" 2>&1 &&
    [ -n "$(inputs "$work/merged" | head -c1)" ]; then
    declare -A known=()
    local sum file
    while read -r sum file; do known[$sum]=1; done < <(inputs "$corp" | xargs -0r sha1sum)
    while IFS= read -r -d '' file; do
      [ -n "${known[$(basename "$file")]:-}" ] || fresh=$((fresh + 1))
    done < <(inputs "$work/merged")
    inputs "$corp" | xargs -0r rm -f
    cp "$work/merged"/* "$corp"/
  else
    echo "$name: the merge failed, the corpus is left as it was (see $work/merge.log)" >&2
  fi

  # Findings, each kept once.
  local findings=0 artifact
  for artifact in "$work"/artifacts/{crash,leak,timeout,oom}-*; do
    [ -f "$artifact" ] || continue
    if [ ! -e "$regr/$(basename "$artifact")" ]; then
      cp "$artifact" "$regr/"
      findings=$((findings + 1))
    fi
  done
  echo "$name executions=${executions:-0} new-corpus-files=$fresh findings=$findings" >"$work/summary"
}

echo "fuzzing ${#chosen[@]} target(s) for ${seconds}s each, $parallel at a time" >&2
for name in "${chosen[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  run_target "$name" &
done
wait

status=0
for name in "${chosen[@]}"; do
  if [ -f "$campaign/$name/summary" ]; then
    cat "$campaign/$name/summary"
  else
    echo "$name did not finish (see $campaign/$name/)"
    status=1
  fi
done
exit $status
