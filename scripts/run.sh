#!/usr/bin/env bash
# Sets everything up, builds and starts Lorvanta.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec ./build/app/lorvanta
