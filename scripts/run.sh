#!/usr/bin/env bash
# Sets everything up, builds and starts Lorvanta.
# Run it as yourself: only installing missing packages needs root, and the
# setup asks sudo for that. Started with sudo, it installs what is missing
# and then builds and runs as the user who called sudo, never as root (a
# build folder owned by root, settings kept in root's home).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  bash scripts/setup.sh
  echo "Building and starting Lorvanta as $SUDO_USER."
  exec sudo -u "$SUDO_USER" -H -- bash scripts/run.sh
fi

bash scripts/setup.sh
if [ -e build ] && [ ! -w build ]; then
  echo "build/ is not writable by $(id -un) (left by an earlier run as root?);" >&2
  echo "give it back with: sudo chown -R $(id -un): build" >&2
  exit 1
fi
bash scripts/build.sh build
exec ./build/app/lorvanta
