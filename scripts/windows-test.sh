#!/usr/bin/env bash
# Builds the Windows program (marrowgate.exe, widget-free) and the test programs of the data
# layer and the two imports with the MinGW-w64 cross compiler (in build-win/), and runs them
# under Wine, beside the throw-away PostgreSQL server of scripts/pg.sh:
#
#     scripts/windows-test.sh [--journeys] [LINUX_PROGRAM]
#
# (--journeys: only the command-line journeys, not the test programs.)
#
# - the test programs on the server, through Wine's odbc32 (which hands the wide ODBC calls to
#   the machine's unixODBC and its PostgreSQL driver), the outlay import killed 20 times (the
#   embedded database's lock file and journal are driven by the journeys);
# - the program driven from the command line as a user would (tests/wine/journeys.sh): the
#   same rows as the Linux program (LINUX_PROGRAM, default build/shell/marrowgate) on the
#   same demo, two imports at once, Ctrl+C, the INI files in their three encodings, folder
#   and file names with non-ASCII letters, --trace-sql.
#
# Windows' own SQLite (winsqlite3.dll) is not part of Wine: for the embedded database a
# stand-in of the same name is built from SQLite's amalgamation (fetched with npm from the
# better-sqlite3 package, which ships it) and put in the Wine prefix's system folder. Without
# npm the embedded-database checks are skipped, and say so.
#
# The Wine prefix is made once per run in a temporary folder and removed at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

only_journeys=0
if [ "${1:-}" = "--journeys" ]; then
  only_journeys=1
  shift
fi

if [ -z "${MG_TEST_ODBC:-}" ]; then
  bash scripts/deps.sh --windows
  start=$(date +%s)
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
  cmake --build build-win -j"$(nproc)" --target marrowgate mg_data_tests mg_outlays_tests mg_fees_tests
  echo "windows-test: Windows build in $(( $(date +%s) - start )) s"
  [ "$only_journeys" = 1 ] && set -- --journeys "$@"
  exec bash scripts/pg.sh bash "$0" "$@"
fi

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "windows-test: wine64 is not installed" >&2; exit 1; }
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

start=$(date +%s)
work=$(mktemp -d /tmp/mg-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  local rc=$?
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
  exit "$rc"
}
trap cleanup EXIT

"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -p 60 >/dev/null 2>&1 || true   # one server for the whole run: later starts are quick
echo "windows-test: Wine prefix made in $(( $(date +%s) - start )) s"

# The stand-in for Windows' winsqlite3.dll, built once and kept in build-win/.
sqlite_dll=$root/build-win/wine-sqlite/winsqlite3.dll
if [ ! -f "$sqlite_dll" ]; then
  (
    set -e
    src=$(mktemp -d)
    trap 'rm -rf "$src"' EXIT
    cd "$src"
    timeout 120 npm pack better-sqlite3@12.11.1 --silent >/dev/null 2>&1
    tar xzf better-sqlite3-*.tgz package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
    mkdir -p "$(dirname "$sqlite_dll")"
    x86_64-w64-mingw32-gcc -O1 -shared -o "$sqlite_dll.tmp" package/deps/sqlite3/sqlite3.c -Ipackage/deps/sqlite3 \
      '-DSQLITE_API=__declspec(dllexport)' -DSQLITE_THREADSAFE=1 -static-libgcc
    mv "$sqlite_dll.tmp" "$sqlite_dll"
  ) || echo "windows-test: no stand-in winsqlite3.dll could be built (npm pack better-sqlite3 failed)" >&2
fi
export MG_WINE_EMBEDDED=0
if [ -f "$sqlite_dll" ]; then
  cp "$sqlite_dll" "$WINEPREFIX/drive_c/windows/system32/winsqlite3.dll"
  MG_WINE_EMBEDDED=1
fi

passed=0 failed=0 skipped=0
note() { echo "windows-test: $*"; }
pass() { passed=$((passed + 1)); note "PASS $*"; }
fail() { failed=$((failed + 1)); note "FAIL $*"; }
skip() { skipped=$((skipped + 1)); note "SKIP $*"; }

# A test program under Wine: its own output goes to a log, shown when it fails.
gtest() {
  local what=$1 program=$2
  shift 2
  local log=$work/$what.log t0=$(date +%s)
  if "$wine" "$program" --gtest_brief=1 "$@" >"$log" 2>&1; then
    pass "$what ($(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$log" | head -1), $(( $(date +%s) - t0 )) s)"
  else
    cat "$log"
    fail "$what"
  fi
}

tests=$root/build-win/tests
if [ "$only_journeys" = 0 ]; then
  filter() { cat "$tests/$1/mg_$1_tests.pg-filter"; }
  # On the server, through Wine's ODBC bridge: the data layer, the outlay import (with its kill
  # test, 20 kills within the program's slower start under Wine; the run history's kill test,
  # which drives no other Windows path, is left to the Linux run) and the fee import (without
  # its kill test: the outlay import's covers the Windows paths).
  MG_TEST_BACKEND=postgresql gtest "data layer on PostgreSQL" "$tests/data/mg_data_tests.exe" --gtest_filter="$(filter data)"
  MG_TEST_BACKEND=postgresql MG_CRASH_KILLS=20 MG_CRASH_WITHIN_MS=1500 \
    gtest "outlay import on PostgreSQL, killed 20 times" "$tests/outlays/mg_outlays_tests.exe" --gtest_filter="$(filter outlays):Crash.KilledImportsAndUndos*"
  MG_TEST_BACKEND=postgresql gtest "fee import on PostgreSQL" "$tests/fees/mg_fees_tests.exe" \
    --gtest_filter="$(filter fees | sed "s/FeeImportCrashTest\\.\\*://")"
fi

# The program as a user runs it.
source "$root/tests/wine/journeys.sh"
journeys "$root/build-win/shell/marrowgate.exe" "${1:-$root/build/shell/marrowgate}"

note "Windows part under Wine in $(( $(date +%s) - start )) s"
echo "wine: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
