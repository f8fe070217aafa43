#!/usr/bin/env bash
# Set up, build and start MarrowkinWin (arguments are passed on to the program).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build
exec build/bin/MarrowkinWin "$@"
