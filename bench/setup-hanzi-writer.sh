#!/usr/bin/env bash
# Installs the writing benchmark's yardstick, the npm package hanzi-writer
# 3.7.3 (MIT), into third_party/bench/. Only lorvanta-bench-writing uses it,
# through node; the program and its tests never do.
set -euo pipefail
cd "$(dirname "$0")/.."
writer=third_party/bench/node_modules/hanzi-writer
if [ -f "$writer/package.json" ] && grep -q '"version": "3.7.3"' "$writer/package.json"; then
  exit 0
fi
mkdir -p third_party/bench
npm install --prefix third_party/bench --no-audit --no-fund --silent hanzi-writer@3.7.3
