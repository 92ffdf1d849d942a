# Shared by the whole-process benchmarks (sourced, not run): the tool checks, ImageMagick's name,
# the test photographs and the Xvfb screen.

# bench_require SCRIPT PACKAGES TOOL...: stops with the Debian packages to install when a tool is
# missing.
bench_require() {
  local script=$1 packages=$2 tool
  shift 2
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$script: $tool not found (apt-get install $packages)" >&2; exit 1; }
  done
}

# bench_find_magick SCRIPT: sets magick to ImageMagick 6 as Debian installs it, or stops.
bench_find_magick() {
  local candidate
  magick=""
  for candidate in magick convert-im6.q16 convert-im6; do
    if command -v "$candidate" >/dev/null 2>&1; then magick=$candidate; break; fi
  done
  [ -n "$magick" ] || { echo "$1: ImageMagick not found (Debian package imagemagick)" >&2; exit 1; }
}

# bench_photo SEED PPM JPEG: a 4000 x 3000 plasma fractal (the detail of a real scene) as PPM, and
# that picture written by cjpeg at quality 90 with 4:2:0 chroma, as cameras do.
bench_photo() {
  "$magick" -seed "$1" -size 4000x3000 plasma:fractal -blur 0x0.6 "$2"
  cjpeg -quality 90 -outfile "$3" "$2"
}

# bench_exif_copy PPM JPEG OUT: OUT is JPEG with an Exif block holding a 160 x 120 thumbnail of
# PPM in IFD1 (quality 80), as cameras store one.
bench_exif_copy() {
  "$magick" "$1" -resize 160x120! "$3.thumb.ppm"
  cjpeg -quality 80 -outfile "$3.thumb.jpg" "$3.thumb.ppm"
  python3 - "$2" "$3.thumb.jpg" "$3" <<'PY'
import struct, sys
main, thumb = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
tiff = b"II*\x00" + struct.pack("<I", 8)
tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x0112, 3, 1, 1) + struct.pack("<I", 26)
tiff += struct.pack("<H", 2) + struct.pack("<HHII", 0x0201, 4, 1, 56)
tiff += struct.pack("<HHII", 0x0202, 4, 1, len(thumb)) + struct.pack("<I", 0) + thumb
app1 = b"Exif\x00\x00" + tiff
open(sys.argv[3], "wb").write(main[:2] + b"\xff\xe1" + struct.pack(">H", len(app1) + 2) + app1 + main[2:])
PY
  rm -f "$3.thumb.ppm" "$3.thumb.jpg"
}

# bench_start_xvfb DISPLAY_NUMBER WxH: an Xvfb screen with a black root window; sets xvfb_pid and
# DISPLAY and returns once the server answers. The caller stops it (kill "$xvfb_pid").
bench_start_xvfb() {
  Xvfb ":$1" -screen 0 "$2x24" -br -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$1"
  local _
  for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
}
