#!/usr/bin/env bash
# Installs what Lorvanta needs to build, run and test on Debian 12, and the
# stroke-order data from npm. Skips what is already there; run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-webengine-dev libgl-dev
  libespeak-ng-dev
  # run: audio decoding, offline speech voices, fonts
  # (the audio sinks are only recommended by the players: without them a
  # desktop's sound server is never reached and read-aloud stays silent)
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio gstreamer1.0-alsa
  espeak-ng-data
  fonts-arphic-ukai fonts-noto-cjk fonts-liberation fonts-dejavu-core
  # stroke-order data comes from npm (over https)
  nodejs npm ca-certificates
  # tests: a real X server, input events, screenshots, sanitizers and fuzzing
  xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-14-dev pulseaudio pulseaudio-utils poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    # node and npm may come from outside Debian's packages; accept them when present.
    case "$p" in
      nodejs) command -v node >/dev/null && continue ;;
      npm) command -v npm >/dev/null && continue ;;
    esac
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run this script as root (sudo) to install them." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Stroke outlines and medians (Arphic Public License), turned into one data
# file by the build.
data=third_party/npm/node_modules/hanzi-writer-data
if [ ! -f "$data/package.json" ] || ! grep -q '"version": "2.0.1"' "$data/package.json"; then
  mkdir -p third_party/npm
  npm install --prefix third_party/npm --no-audit --no-fund --silent hanzi-writer-data@2.0.1
fi
