#!/usr/bin/env bash
# scripts/build.sh BUILD_DIR [CMAKE_ARGS...]: configures (once) and builds with Ninja.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
