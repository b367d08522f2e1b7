#!/usr/bin/env bash
# Compiles for Windows, with the MinGW-w64 cross compiler, the Windows code that the linked
# Windows build (scripts/windows-test.sh) leaves out: the desktop windows' _WIN32 branches that
# need no Qt headers (shell/windows/). A syntax and type check (nothing is linked or run). Fails
# when any of them does not compile; warnings are shown but do not fail it. Files given as
# arguments are checked instead of the usual set.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

cxx=""
for c in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
  if command -v "$c" >/dev/null; then cxx=$c; break; fi
done
if [ -z "$cxx" ]; then
  echo "windows-check: no MinGW-w64 C++ compiler (package g++-mingw-w64-x86-64)" >&2
  exit 1
fi

# Only the two libraries' own headers: the rest of /usr/include is the Linux C library.
headers=$(mktemp -d)
trap 'rm -rf "$headers"' EXIT
for h in sqlite3.h sqlite3ext.h SimpleIni.h ConvertUTF.h; do
  for dir in /usr/include /usr/local/include; do
    if [ -f "$dir/$h" ]; then ln -s "$dir/$h" "$headers/$h"; break; fi
  done
done
for h in sqlite3.h SimpleIni.h; do
  [ -e "$headers/$h" ] || { echo "windows-check: $h not found" >&2; exit 1; }
done

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wno-unused-parameter
       -DUNICODE -D_UNICODE -I"$root" -isystem "$headers")

# The compiler must really be compiling for Windows, or the check proves nothing.
printf '#ifndef _WIN32\n#error not compiling for Windows\n#endif\n' | "$cxx" "${flags[@]}" -x c++ -

if [ $# -gt 0 ]; then
  sources=()
  for f in "$@"; do sources+=("$(realpath "$f")"); done
  cd "$root"
else
  cd "$root"
  sources=(shell/windows/drag_setting.cpp)
fi
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 3 "$cxx" "${flags[@]}"
echo "windows-check: ${#sources[@]} files compile for Windows with $cxx"
