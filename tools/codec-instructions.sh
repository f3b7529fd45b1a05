#!/usr/bin/env bash
# Instructions per frame of the player's own video decoders, decoding into the 5-6-5 target:
# the codec benchmark (build/native) run under callgrind once per movie, counting only inside
# CodecLayer::Decode, divided by the number of frames decoded. Prints "benchmark instructions/frame".
#   tools/codec-instructions.sh [FILTER]     (a benchmark filter, default: all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${CRV_BENCH:-$root/build/native/bin/crv_media_codecs_bench}
[ -x "$bench" ] || { echo "codec-instructions: build $bench first (CRV_BENCH=ON native build)" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "codec-instructions: valgrind is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names=$("$bench" --benchmark_list_tests --benchmark_filter="${1:-.}" | sed 's|/manual_time$||')
for name in $names; do
  out=$work/callgrind.out
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='crv::CodecLayer::Decode(*' \
    "$bench" --benchmark_filter="^$name/" --benchmark_min_time=0.001 >/dev/null 2>&1
  # Collected instructions over the frames: Decode calls DecodeInto once a frame (calls from
  # outside the collected code are not counted, calls inside it are).
  awk -v name="$name" '
    /^summary:/ { total = $2 }
    /^cfn=/ { into = ($0 ~ /CodecLayer::DecodeInto\(/) }
    /^calls=/ { if (into) calls += substr($1, 7); into = 0 }
    END { if (calls > 0) printf "%-24s %d\n", name, total / calls }' "$out"
done
