#!/usr/bin/env bash
# Shared set-up of the README's two commands: installs what is missing on a
# Debian 12 machine (run as root), then configures and builds one tree.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-$(nproc)}"

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache git
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libgif-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
  libsqlite3-dev
  qt6-base-dev libgl-dev
  clang libclang-rt-14-dev
  libstb-dev libimagequant-dev
  libtiff-dev libexif-dev liblcms2-dev libimage-exiftool-perl
  xvfb xauth xdotool
  imagemagick libtiff-tools netpbm giflib-tools libjpeg-turbo-progs libpng-tools
)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
      echo "setup: missing packages and not root; install them: ${missing[*]}" >&2
      exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  local dir="$1"
  shift
  export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
  export CCACHE_BASEDIR="$ROOT"
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
