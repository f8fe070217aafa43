#!/usr/bin/env bash
# Set up, build and start MarrowkinWin. Arguments go to the program, except
# --sample, which first builds realistic Chrome, Edge and Firefox histories
# under build/sample-home and starts the program with that folder as home.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build
if [ "${1:-}" = "--sample" ]; then
    shift
    if [ ! -d build/sample-home ]; then
        build/bin/mk_make_profiles "$PWD/build/sample-home" 20000
    fi
    # The collector reads that folder as the home; the program keeps the real one.
    export MARROWKIN_HOME="$PWD/build/sample-home"
fi
exec build/bin/MarrowkinWin "$@"
