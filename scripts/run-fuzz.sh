#!/usr/bin/env bash
# Builds one of the codec's libFuzzer targets with clang (ASan, UBSan) and
# runs it for a while on a working copy of its seed corpus.
#
# usage: scripts/run-fuzz.sh SECONDS [decode|roundtrip]   (default decode)
#   decode     decodeStream on arbitrary bytes (tests/fuzz/decode_fuzz.cpp)
#   roundtrip  encode then decode arbitrary plain bytes (roundtrip_fuzz.cpp)
# Findings land in build/fuzz/ as TARGET-crash-*, TARGET-timeout-*, ...
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/run-fuzz.sh SECONDS [decode|roundtrip]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
seconds=$1
target=${2:-decode}
[[ $seconds =~ ^[0-9]+$ ]] || usage
case $target in decode | roundtrip) ;; *) usage ;; esac
command -v clang++ >/dev/null || { echo "run-fuzz: clang++ is missing (scripts/install-deps.sh)" >&2; exit 2; }

out=build/fuzz
mkdir -p "$out"
sources=(codec/*.cpp platform/host/*.cpp "tests/fuzz/${target}_fuzz.cpp")
if [ "$target" = roundtrip ]; then
  sources+=(tests/codec/codec_test_support.cpp tests/codec/reference_coder.cpp)
fi
clang++ -std=c++17 -O2 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Icodec -Iplatform -Iplatform/host -Iresources -Itests/codec \
  "${sources[@]}" -o "$out/${target}_fuzz"

corpus=$out/corpus-$target
mkdir -p "$corpus"
cp -n tests/fuzz/corpus/"$target"/* "$corpus"/

# The targets' scratch files go to a folder of this run, in RAM where
# there is some.
scratch=$(mktemp -d "$([ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/qb-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
"$out/${target}_fuzz" -max_total_time="$seconds" -max_len=40000 -timeout=30 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$out/$target-" "$corpus"
