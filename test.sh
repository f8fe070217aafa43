#!/usr/bin/env bash
# Set up, build with warnings as errors under AddressSanitizer and
# UndefinedBehaviorSanitizer, and run every test once.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
# Rebuilds after switching branches go faster where ccache is installed.
launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMK_WERROR=ON -DMK_SANITIZE=ON "${launcher[@]}" > /dev/null
cmake --build build-test
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-test --output-on-failure --timeout 300 -j2
