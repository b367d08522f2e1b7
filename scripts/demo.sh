#!/usr/bin/env bash
# Builds Marrowgate and starts the desktop program in a fresh folder (demo/) on a new demo
# database, with a vorn.ini that points at it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)" --target marrowgate
rm -rf demo
mkdir demo
./build/shell/marrowgate init-db --demo demo/practice.db
printf '[database]\r\ndriver=sqlite\r\ndatabase=practice.db\r\n' > demo/vorn.ini
cd demo
exec ../build/shell/marrowgate "$@"
