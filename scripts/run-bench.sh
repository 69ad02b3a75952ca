#!/usr/bin/env bash
# Builds the codec benchmark in the host preset, makes its corpus and runs
# it: throughput and size beside gzip -9 / gzip -d, and the codec's static
# footprint. Exits non-zero if any stream differs from the reference coder's
# or fails to round-trip.
#
# usage: scripts/run-bench.sh [SECONDS_PER_MEASUREMENT]   (default 0.5)
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset host >/dev/null
cmake --build --preset host --target codec_bench -j "$(nproc)"
scripts/make-bench-corpus.sh build/bench-corpus >/dev/null
build/host/bin/codec_bench build/bench-corpus "${1:-0.5}"
