#!/usr/bin/env bash
# Installs the Debian packages Marrowgate builds with, when they are missing.
#     scripts/deps.sh [--windows]
set -euo pipefail

packages=(cmake g++ make qt6-base-dev libgl-dev libsqlite3-dev sqlite3 libsimpleini-dev libgtest-dev libgmock-dev
          libbenchmark-dev fonts-dejavu-core fonts-liberation2 poppler-utils g++-mingw-w64-x86-64 unixodbc-dev
          odbc-postgresql postgresql tdsodbc)
# With --windows also what the Windows build and its run under Wine need (scripts/windows-test.sh).
if [ "${1:-}" = "--windows" ]; then
  packages+=(googletest wine64)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
