#!/usr/bin/env bash
# Installs the Debian packages Lumora needs to build, test and run. As root it installs what is
# missing with apt-get; as another user it prints the exact apt-get line and fails.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libjpeg62-turbo-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev fonts-dejavu-core libsdl2-dev
  clang libclang-rt-14-dev
)
# Further packages a module needs are listed one per line in scripts/packages.d/*.txt.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if compgen -G "$here/packages.d/*.txt" >/dev/null; then
  while read -r p; do [ -n "$p" ] && packages+=("$p"); done < <(cat "$here"/packages.d/*.txt | sed 's/#.*//' | tr -s ' \t' '\n')
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Lumora needs these Debian packages; install them as root with:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
