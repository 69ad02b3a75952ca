#!/usr/bin/env bash
# Builds everything and runs all tests: host unit tests, the same under
# AddressSanitizer and UBSan, checks of the Windows builds, and the
# end-to-end installs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
QB_EXTRA_PRESETS=host-asan scripts/build-all.sh

ctest --preset host -j "$(nproc)"
ctest --preset host-asan -j "$(nproc)" -LE e2e
