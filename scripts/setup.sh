#!/usr/bin/env bash
# Installs what Lorvanta needs to build, run and test on Debian 12, and the
# stroke-order data and the lexicon from npm. Skips what is already there.
# Only the package installation needs root: as an ordinary user the missing
# packages are installed with sudo; everything else is done as the calling
# user (started with sudo, as the user who called sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs a command as the user the working files belong to.
as_user() {
  if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    sudo -u "$SUDO_USER" -H -- "$@"
  else
    "$@"
  fi
}

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-webengine-dev qt6-charts-dev libgl-dev libxcb1-dev
  libespeak-ng-dev libsndfile1-dev
  # run: audio decoding, offline speech voices, fonts
  # (the audio sinks are only recommended by the players: without them a
  # desktop's sound server is never reached and read-aloud stays silent)
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio gstreamer1.0-alsa
  espeak-ng-data
  fonts-arphic-ukai fonts-noto-cjk fonts-droid-fallback fonts-liberation fonts-dejavu-core
  # Qt's own texts (file and print dialogs, context menus) in Chinese
  qt6-translations-l10n
  # stroke-order data comes from npm (over https)
  nodejs npm ca-certificates
  # tests: a real X server, input events, screenshots, sanitizers and fuzzing
  xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-14-dev pulseaudio pulseaudio-utils poppler-utils
  # tests: reading the writing window's status line off the screen
  tesseract-ocr tesseract-ocr-chi-sim
  # tests: a window manager, so that stacking, activation and frames are a desktop's
  openbox
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
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  elif command -v sudo >/dev/null; then
    sudo apt-get update -qq
    sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "Missing packages: ${missing[*]}" >&2
    echo "sudo is not installed: install them as root with" >&2
    echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
fi

# Stroke outlines and medians (Arphic Public License), turned into one data
# file by the build.
data=third_party/npm/node_modules/hanzi-writer-data
if [ ! -f "$data/package.json" ] || ! grep -q '"version": "2.0.1"' "$data/package.json"; then
  if [ -e third_party ] && ! as_user test -w third_party; then
    echo "third_party/ is not writable by $(as_user id -un) (left by an earlier run as root?);" >&2
    echo "give it back with: sudo chown -R $(as_user id -un): third_party" >&2
    exit 1
  fi
  as_user mkdir -p third_party/npm
  as_user npm install --prefix third_party/npm --no-audit --no-fund --silent hanzi-writer-data@2.0.1
fi

# Dictation's words (CC-CEDICT with word frequencies, ISC / CC BY-SA 4.0),
# turned into a small word list by the build.
lexicon=third_party/npm/node_modules/chinese-lexicon
if [ ! -f "$lexicon/package.json" ] || ! grep -q '"version": "1.0.43"' "$lexicon/package.json"; then
  as_user mkdir -p third_party/npm
  as_user npm install --prefix third_party/npm --no-audit --no-fund --silent chinese-lexicon@1.0.43
fi
