#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds Lumora in Release and runs it.
#   ./run.sh                 the program on your pictures folder (samples/ when it holds none)
#   ./run.sh PATH [OPTIONS]  the program on a picture or a folder
#   ./run.sh COMMAND ARGS    lumora-img, when COMMAND is one of its commands (info, decode,
#                            convert, exif, thumbs, frames, --help, --version)
# Without a display (neither DISPLAY nor WAYLAND_DISPLAY) the program runs headless and writes a
# screenshot of what it shows, whose path it prints.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DLUMORA_TESTS=OFF -DLUMORA_BENCH=OFF
img="$top/build/release/tools/lumora-img"
app="$top/build/release/app/lumora"

case "${1:-}" in
  info|decode|convert|exif|thumbs|frames|--help|-h|--version) exec "$img" "$@" ;;
esac

args=("$@")
has_path=0
for a in "${args[@]}"; do [ -e "$a" ] && has_path=1; done
if [ $has_path -eq 0 ]; then
  # The pictures folder of the desktop, or the project's samples when it holds no picture.
  pictures="${XDG_PICTURES_DIR:-}"
  if [ -z "$pictures" ] && command -v xdg-user-dir >/dev/null 2>&1; then pictures=$(xdg-user-dir PICTURES); fi
  [ -n "$pictures" ] || pictures="$HOME/Pictures"
  if ! compgen -G "$pictures/*.[jJpPgGbBtT]*" >/dev/null 2>&1; then pictures="$top/samples"; fi
  args+=("$pictures")
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  shot="${TMPDIR:-/tmp}/lumora-screen.png"
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running headless, screenshot in $shot"
  exec "$app" --headless --keys "settle" --screenshot "$shot" "${args[@]}"
fi
exec "$app" "${args[@]}"
