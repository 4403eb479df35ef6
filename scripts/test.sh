#!/usr/bin/env bash
# Sets everything up, builds and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600
# Sanitizer build, fuzzers and the other checks that need their own builds.
if [ -f scripts/test-extra.sh ]; then
  bash scripts/test-extra.sh
fi
