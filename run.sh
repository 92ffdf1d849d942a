#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Lumora in Release and runs it.
# Until the viewer exists the main job is lumora-img on the project's sample pictures;
# ./run.sh ARGS... passes ARGS to lumora-img instead.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF
img="$top/build/release/tools/lumora-img"
if [ $# -gt 0 ]; then
  exec "$img" "$@"
fi
shopt -s nullglob
samples=("$top"/samples/*.*)
"$img" --version
if [ ${#samples[@]} -gt 0 ]; then
  "$img" info "${samples[@]}"
fi
