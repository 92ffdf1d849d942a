#!/usr/bin/env bash
# scripts/make_screenshots.sh [BUILD_DIR]: makes the screenshots of the AppStream metainfo with the
# program itself, headless, on the project's sample pictures: data/screenshots/browser.png (the
# browser on samples/ at 480x640). BUILD_DIR holds a built lumora (default build/release).
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$top/build/release}
lumora=$build/app/lumora
[ -x "$lumora" ] || { echo "make_screenshots.sh: $lumora not found; build the program first" >&2; exit 1; }
out=$top/data/screenshots
mkdir -p "$out"
# A settings folder of its own, so the user's settings neither change the picture nor are changed.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
"$lumora" --headless --config-dir "$config" --screen 480x640 --dpi 192 --keys settle \
  --screenshot "$out/browser.png" "$top/samples/"
echo "wrote $out/browser.png"
