#!/usr/bin/env bash
# Builds Marrowgate and runs every test (on the embedded database and on a throw-away PostgreSQL
# server), and the Windows program with its tests under Wine (scripts/windows-test.sh; the
# desktop windows' Windows code, not in that build, is compiled by scripts/windows-check.sh).
# With --sanitize the build uses AddressSanitizer and UndefinedBehaviorSanitizer (in
# build-asan/) and the Windows part is left out.
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
if [ "$dir" = build ]; then
  # The Windows program under Wine, compared with the Linux program just built.
  bash scripts/windows-test.sh "$PWD/build/shell/marrowgate"
fi
cd "$dir"
# Every test on the embedded database, the tests named pg.* again on a throw-away
# PostgreSQL server reached through ODBC, and those named mssql.* with SQL Server's
# statements through the T-SQL conformance connection, in the same run.
QT_QPA_PLATFORM=offscreen ../scripts/pg.sh ctest --output-on-failure -j"$(nproc)"
