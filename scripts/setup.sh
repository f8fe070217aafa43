#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks for building, running and
# testing, and with --windows what the Windows cross build and its tests under
# Wine need, with --fuzz clang and its sanitizer runtimes; any other argument
# names one more package. Everything missing goes in with one apt-get.
#
#   scripts/setup.sh [--windows] [--fuzz] [package...]
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-translations-l10n
    libsqlite3-dev sqlite3 libbenchmark-dev
    fonts-wqy-microhei
    # systemd-analyze checks the timer units of the scheduled report
    systemd
)
for a in "$@"; do
    case "$a" in
        --windows)
            PACKAGES+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
                       wine wine64 xvfb xauth x11-utils imagemagick unzip patch xz-utils) ;;
        --fuzz) PACKAGES+=(clang-14 libclang-rt-14-dev) ;;
        -*) echo "unknown option: $a" >&2; exit 2 ;;
        *) PACKAGES+=("$a") ;;
    esac
done

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "These packages are missing. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
fi
