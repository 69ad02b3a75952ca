#!/usr/bin/env bash
# Configures and builds every preset: the Windows installer (win32, the
# product; win64 for Wine here), the host tool and tests (host, host-asan).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
for preset in win32 win64 host ${QB_EXTRA_PRESETS:-}; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
