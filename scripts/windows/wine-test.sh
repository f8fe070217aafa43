#!/usr/bin/env bash
# CTest's runner for the Windows test executables: runs one under Wine with the
# prefix, DLL path and Qt settings that build.sh prepared (build-win/wine-env.sh)
# and prints what it reported. QtTest writes to a file, because Wine can lose
# output written to a pipe.
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ENV_FILE=${MK_WINE_ENV:-$HERE/../../build-win/wine-env.sh}
# shellcheck source=/dev/null
[ -f "$ENV_FILE" ] && . "$ENV_FILE"

exe=$1
shift
case "$(basename "$exe")" in
    tst_*)
        out=$(mktemp --suffix=.txt)
        wine "$exe" "$@" -o "$out,txt" > /dev/null 2>&1
        rc=$?
        cat "$out"
        rm -f "$out"
        exit $rc
        ;;
    *)
        exec wine "$exe" "$@"
        ;;
esac
