#!/usr/bin/env bash
# The viewer against feh and nsxiv (Debian packages) on one 12-megapixel photograph, each program
# in a real window on an Xvfb screen of 240 x 320 and of 1280 x 720, measured the same way by
# bench/screen_watch.py: the time until the photo, fitted to the screen, is complete on screen,
# and the program's peak memory. Two ways in:
#   start  the program started with the photo's path (feh -F, nsxiv -f, lumora PHOTO);
#   key    the program showing the folder's thumbnails, then the key that opens the photo
#          (Return in Lumora and nsxiv; feh's thumbnail mode opens a picture by a mouse click,
#          so feh gets a click on its first thumbnail).
# Prints a Markdown table of medians.
#
# usage: bench/viewer_compare.sh [LUMORA [RUNS]]
#   LUMORA  the program (default build/release/app/lumora, a Release build)
#   RUNS    runs of each measurement (default 3)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lumora=${1:-$top/build/release/app/lumora}
runs=${2:-3}
. "$top/bench/bench_lib.sh"
bench_require viewer_compare.sh "xvfb x11-utils feh nsxiv libjpeg-turbo-progs python3 time procps" \
  Xvfb xdpyinfo feh nsxiv cjpeg python3 /usr/bin/time pkill
bench_find_magick viewer_compare.sh
[ -x "$lumora" ] || { echo "viewer_compare.sh: $lumora not found; build it first" >&2; exit 1; }

work=$(mktemp -d /tmp/lumora_viewer_XXXXXX)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/one" "$work/home"
echo "making a photograph of 4000 x 3000 in $work ..." >&2
bench_photo 7 "$work/p.ppm" "$work/one/photo.jpg"
rm "$work/p.ppm"
photo=$work/one/photo.jpg

# median of the first field of stdin's lines; "nan" lines (nothing shown) make the cell "failed".
median() {
  python3 -c '
import sys, statistics
rows = [l.split() for l in sys.stdin if l.strip()]
ok = [r for r in rows if r[0] != "nan"]
if len(ok) < len(rows) or not ok:
    print("failed | -")
else:
    print("%.2f | %.0f" % (statistics.median(float(r[0]) for r in ok),
                           statistics.median(int(r[1]) for r in ok) / 1024))'
}

# One measurement, RUNS times, each in a fresh home (empty caches and settings).
measure() {
  local i
  for i in $(seq 1 "$runs"); do
    rm -rf "$work/home" && mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"
    HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache \
      XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/home/runtime \
      python3 "$top/bench/screen_watch.py" "$@" || true
  done | median
}

echo "| screen | program | start: seconds | start: peak MiB | key: seconds | key: peak MiB |"
echo "|---|---|---|---|---|---|"
display=97
for screen in 240x320 1280x720; do
  display=$((display + 1))
  bench_start_xvfb "$display" "$screen"
  echo "screen $screen ..." >&2
  start=$(measure -- "$lumora" --screen "$screen" "$photo")
  key=$(measure --key Return -- "$lumora" --screen "$screen" "$work/one/")
  echo "| $screen | Lumora | $start | $key |"
  start=$(measure -- feh -F "$photo")
  key=$(measure --click 12,10 -- feh -t "$work/one/")
  echo "| $screen | feh | $start | $key |"
  # Without a window manager nsxiv's window keeps its 800 x 600 default: give it the screen.
  start=$(measure -- nsxiv -f -g "$screen+0+0" "$photo")
  key=$(measure --key Return -- nsxiv -t -f -g "$screen+0+0" "$photo")
  echo "| $screen | nsxiv | $start | $key |"
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
