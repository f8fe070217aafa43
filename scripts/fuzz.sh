#!/bin/sh
# Runs every libFuzzer target for the given number of seconds (default 60)
# under AddressSanitizer and UndefinedBehaviorSanitizer, starting from the
# seed corpus in tests/fuzz/corpus. Fails on the first crash, leak or
# sanitizer report; the input that caused it is left in build-fuzz/crashes.
#
#   scripts/fuzz.sh [seconds]
#
# Needs clang (Debian: clang-14). Set CC/CXX to choose another clang, and
# MK_FUZZ_JOBS to build with more than two jobs.
set -eu

SECONDS_EACH=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)

# clang and its sanitizer runtimes, beside what the Linux build needs.
"$ROOT/scripts/setup.sh" --fuzz

BUILD="$ROOT/build-fuzz"
CC=${CC:-$(command -v clang-14 || command -v clang)}
CXX=${CXX:-$(command -v clang++-14 || command -v clang++)}
TARGETS="fuzz_report fuzz_url"

LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then
    LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" -DMK_FUZZ=ON $LAUNCHER >/dev/null
# shellcheck disable=SC2086
cmake --build "$BUILD" -j"${MK_FUZZ_JOBS:-2}" --target $TARGETS

mkdir -p "$BUILD/crashes"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp}"
export QT_QPA_PLATFORM=offscreen

for T in $TARGETS; do
    SEEDS="$ROOT/tests/fuzz/corpus/${T#fuzz_}"
    # New inputs go to a working corpus in the build folder; the tree keeps its seeds.
    WORK="$BUILD/corpus/${T#fuzz_}"
    mkdir -p "$WORK"
    echo "== $T for ${SECONDS_EACH}s"
    "$BUILD/tests/fuzz/$T" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$BUILD/crashes/$T-" "$WORK" "$SEEDS"
done
echo "fuzzing passed"
