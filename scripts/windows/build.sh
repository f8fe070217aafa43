#!/usr/bin/env bash
# Cross-builds MarrowkinWin for 64-bit Windows on Debian 12, runs every test
# executable under Wine, and packages MarrowkinWin-<version>-win64.zip.
#
#   scripts/windows/build.sh [--no-tests] [--no-package]
#
# The cross-built Qt and SQLite come from ../shared/windows/ when those archives
# are there and their checksums match; otherwise both are rebuilt from Debian's
# own source packages (Qt takes about 40 minutes on two cores). Everything lands
# under build-win/: deps/ (Qt, SQLite), the build itself, a Wine prefix, the zip.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
ROOT=$PWD
HERE=$ROOT/scripts/windows

RUN_TESTS=1
MAKE_PACKAGE=1
for a in "$@"; do
    case "$a" in
        --no-tests) RUN_TESTS=0 ;;
        --no-package) MAKE_PACKAGE=0 ;;
        *) echo "unknown option: $a" >&2; exit 2 ;;
    esac
done

OUT=$ROOT/build-win
DEPS=$OUT/deps
BUILD=$OUT/build
CACHE=${MK_WIN_CACHE:-$ROOT/../shared/windows}
QT_VERSION=6.4.2
QT_ARCHIVE=qt6-win-$QT_VERSION-mingw.tar.gz
QT_SHA256=4c842b8ba278ef747432a97716ad130f3fc5c5e5869a9c26e11624f868fe0f7f
SQLITE_ARCHIVE=sqlite-3.40.1-mingw.tar.gz
SQLITE_SHA256=0887c9cfffe5a6d3944dbc930758480a47e5c4f5e84a230a751ca8a4d145b7ba
TOOLCHAIN=$ROOT/cmake/mingw-w64-x86_64.cmake
MINGW_RUNTIME=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
MINGW_SYSROOT=/usr/x86_64-w64-mingw32

step() { printf '\n== %s\n' "$*"; }

install_packages() {
    # The host tools and Qt (moc, rcc, uic) come from the Linux set-up.
    "$ROOT/scripts/setup.sh"
    local packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
                    wine wine64 xvfb xauth x11-utils imagemagick fonts-wqy-microhei unzip patch xz-utils qt6-translations-l10n)
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "Missing packages; install them with: sudo apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
        step "Installing ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
    local host_qt
    host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
    case "$host_qt" in
        "$QT_VERSION"*) ;;
        *) echo "The host Qt must be $QT_VERSION to match the cross Qt (found $host_qt)." >&2; exit 1 ;;
    esac
}

cache_ok() { # archive sha256
    [ -f "$CACHE/$1" ] && echo "$2  $CACHE/$1" | sha256sum --quiet -c - 2>/dev/null
}

# Debian source packages need a deb-src line; add one beside the binary sources.
source_package() { # name -> downloaded into $OUT/src
    local name=$1
    mkdir -p "$OUT/src"
    if ! apt-get source --print-uris "$name" >/dev/null 2>&1; then
        [ "$(id -u)" -eq 0 ] || { echo "Add a deb-src line for Debian bookworm and rerun." >&2; exit 1; }
        cat > /etc/apt/sources.list.d/marrowkin-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
        apt-get update -qq
    fi
    (cd "$OUT/src" && apt-get source --download-only "$name" >/dev/null)
}

build_qt() {
    step "Rebuilding Qt $QT_VERSION for Windows from Debian's qt6-base source (long)"
    source_package qt6-base
    local src=$OUT/src/qtbase
    rm -rf "$src" "$OUT/src/qt-build"
    mkdir -p "$src"
    tar xJf "$OUT"/src/qt6-base_"$QT_VERSION"+dfsg.orig.tar.xz -C "$src" --strip-components=1
    tar xJf "$OUT"/src/qt6-base_"$QT_VERSION"+dfsg-*.debian.tar.xz -C "$src"
    # Debian's security fixes, not its packaging patches (those assume Debian's
    # own build layout). Patches for modules we switch off apply harmlessly.
    local p
    for p in "$src"/debian/patches/cve-*; do
        [ -e "$p" ] || continue
        echo "applying $(basename "$p")"
        patch -d "$src" -p1 -s < "$p"
    done
    patch -d "$src" -p1 -s < "$HERE/qt-6.4.2-noopengl-qwindows.patch"
    cmake -S "$src" -B "$OUT/src/qt-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$DEPS/qt6-win" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=ON \
        -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_direct2d1_1=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_jpeg=OFF -DFEATURE_zstd=OFF \
        -DFEATURE_icu=OFF
    cmake --build "$OUT/src/qt-build"
    cmake --install "$OUT/src/qt-build"
    rm -rf "$OUT/src/qt-build"
}

build_sqlite() {
    step "Rebuilding SQLite for Windows from Debian's sqlite3 source"
    source_package sqlite3
    local src=$OUT/src/sqlite3
    rm -rf "$src"
    mkdir -p "$src"
    tar xJf "$(ls "$OUT"/src/sqlite3_*.orig.tar.xz | head -n 1)" -C "$src" --strip-components=1
    (cd "$src" && ./configure >/dev/null && make -s sqlite3.c sqlite3.h)
    mkdir -p "$DEPS/sqlite-win/lib" "$DEPS/sqlite-win/include"
    x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
        -c "$src/sqlite3.c" -o "$src/sqlite3.o"
    x86_64-w64-mingw32-gcc-ar-posix rcs "$DEPS/sqlite-win/lib/libsqlite3.a" "$src/sqlite3.o"
    cp "$src/sqlite3.h" "$src/sqlite3ext.h" "$DEPS/sqlite-win/include/"
}

# One dependency: present already, unpacked from the cache when its checksum
# matches, or rebuilt from Debian's sources.
prepare_dep() { # installed-file archive sha256 name rebuild-function
    [ -f "$DEPS/$1" ] && return
    if cache_ok "$2" "$3"; then
        step "Unpacking the cached cross $4"
        tar xzf "$CACHE/$2" -C "$DEPS"
    else
        "$5"
    fi
}

prepare_deps() {
    mkdir -p "$DEPS"
    prepare_dep qt6-win/lib/cmake/Qt6/Qt6Config.cmake "$QT_ARCHIVE" "$QT_SHA256" Qt build_qt
    prepare_dep sqlite-win/lib/libsqlite3.a "$SQLITE_ARCHIVE" "$SQLITE_SHA256" SQLite build_sqlite
}

# Windows sees the Linux root as drive Z:.
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# Everything a Windows program under Wine needs from the environment, written
# once so that ctest (through wine-test.sh) and a developer's shell share it.
setup_wine() {
    cat > "$OUT/wine-env.sh" <<EOF
export WINEPREFIX='$OUT/wineprefix' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64
# Wine hands Windows programs no QT_* variables; WINE-prefixed ones arrive
# without the prefix.
export WINEQT_QPA_PLATFORM=offscreen
export WINEQT_QPA_FONTDIR='$(winpath /usr/share/fonts/truetype/wqy)'
export WINEPATH='$(winpath "$DEPS/qt6-win/bin");$(winpath "$MINGW_RUNTIME");$(winpath "$MINGW_SYSROOT/lib")'
EOF
    # shellcheck source=/dev/null
    . "$OUT/wine-env.sh"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        step "Creating the Wine prefix"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
}

configure_and_build() {
    step "Cross-building the project"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/windows-cross.cmake" -DMK_WIN_DEPS="$DEPS" \
        -DCMAKE_BUILD_TYPE=Release -DMK_WERROR=ON > /dev/null
    cmake --build "$BUILD"
}

run_tests() {
    step "Running every test under Wine"
    MK_WINE_ENV=$OUT/wine-env.sh ctest --test-dir "$BUILD" --output-on-failure --timeout 600 -j2
}

make_package() {
    local version
    version=$(sed -n 's/^project(MarrowkinWin VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
    local name=MarrowkinWin-$version-win64
    local stage=$OUT/package/$name
    step "Packaging $name.zip"
    rm -rf "$OUT/package"
    mkdir -p "$stage"
    cmake --install "$BUILD" --prefix "$OUT/package/install" > /dev/null
    cp "$OUT/package/install/bin/MarrowkinWin.exe" "$OUT/package/install/bin/Marrowkin.exe" "$stage/"
    cp "$BUILD/bin/mk_make_profiles.exe" "$stage/"
    local qt=$DEPS/qt6-win
    cp "$qt"/bin/Qt6Core.dll "$qt"/bin/Qt6Gui.dll "$qt"/bin/Qt6Widgets.dll "$stage/"
    mkdir -p "$stage/platforms" "$stage/styles" "$stage/imageformats"
    cp "$qt"/plugins/platforms/qwindows.dll "$stage/platforms/"
    cp "$qt"/plugins/styles/*.dll "$stage/styles/" 2>/dev/null || true
    cp "$qt"/plugins/imageformats/*.dll "$stage/imageformats/" 2>/dev/null || true
    # Qt's own dialogs in Chinese: translation files are the same on every
    # platform, so the host's (same Qt version) serve.
    mkdir -p "$stage/translations"
    cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
    cp "$MINGW_RUNTIME"/libstdc++-6.dll "$MINGW_RUNTIME"/libgcc_s_seh-1.dll \
       "$MINGW_SYSROOT"/lib/libwinpthread-1.dll "$stage/"
    cp "$HERE/README-windows.txt" "$stage/README.txt"
    rm -f "$OUT/$name.zip"
    (cd "$OUT/package" && cmake -E tar cf "$OUT/$name.zip" --format=zip "$name")
    rm -rf "$OUT/package"
    echo "$OUT/$name.zip"
    check_package "$OUT/$name.zip" "$name"
}

# Unzips the package in a fresh folder and starts it under Wine with the real
# Windows platform plugin, on a virtual display, with only the package's own
# DLLs to find: the main window must come up.
check_package() { # zip name
    step "Starting the unzipped package under Wine"
    local dir=$OUT/package-check
    rm -rf "$dir"
    mkdir -p "$dir"
    unzip -q "$1" -d "$dir"
    "$HERE/smoke.sh" "$dir/$2" "$OUT/MarrowkinWin-win64.png"
    rm -rf "$dir"
}

main() {
    install_packages
    prepare_deps
    configure_and_build
    setup_wine
    [ "$RUN_TESTS" = 1 ] && run_tests
    [ "$MAKE_PACKAGE" = 1 ] && make_package
    step "Windows build done"
}

# Sourced (to call one step by hand), it only defines the steps.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main
fi
