#!/usr/bin/env bash
# Builds Marrowgate and runs every test, after checking that the Windows code paths compile
# (scripts/windows-check.sh). With --sanitize the build uses AddressSanitizer and
# UndefinedBehaviorSanitizer (in build-asan/) and the Windows check is left out.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DMG_SANITIZE=ON -DMG_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=0
fi
if [ "$dir" = build ]; then
  bash scripts/windows-check.sh
fi
cmake -S . -B "$dir" "${flags[@]}"
cmake --build "$dir" -j"$(nproc)"
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
