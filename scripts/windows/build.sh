#!/usr/bin/env bash
# Cross-builds MarrowkinWin for 64-bit Windows on Debian 12, runs every test
# executable under Wine, and packages MarrowkinWin-<version>-win64.zip.
#
#   scripts/windows/build.sh [--no-tests] [--no-package]
#
# The cross-built Qt and SQLite come from archives whose checksums are pinned
# below, looked for in ../shared/windows/ (or $MK_WIN_CACHE). Where one cannot
# be used it is rebuilt from the Debian source package pinned beside it, with
# Debian's security fixes (Qt takes about 40 minutes on two cores), and packed
# into build-win/cache/, where the next run picks it up. Everything lands
# under build-win/: cache/, deps/ (Qt, SQLite), the build itself, a Wine
# prefix, the zip.
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
# Each dependency: the Debian source it is rebuilt from, the archive holding
# the result and that archive's checksum.
QT_SOURCE=qt6-base=6.4.2+dfsg-10
QT_ARCHIVE=qt6-win-6.4.2-mingw-cve.tar.gz
QT_SHA256=892494c1286a3a701d298ff09a6b5f1b93f5d10b5b11c9078a2024865cf767e1
SQLITE_SOURCE=sqlite3=3.40.1-2+deb12u2
SQLITE_ARCHIVE=sqlite-3.40.1-deb12u2-mingw.tar.gz
SQLITE_SHA256=1923a09a8325a4d4a5f584d856b91d3f88e251edacb130549756addcb9cd4e58
TOOLCHAIN=$ROOT/cmake/mingw-w64-x86_64.cmake
MINGW_RUNTIME=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
MINGW_SYSROOT=/usr/x86_64-w64-mingw32

step() { printf '\n== %s\n' "$*"; }
fail() { echo "$*" >&2; exit 1; }
sha256_of() { sha256sum "$1" | cut -d ' ' -f 1; }

install_packages() {
    # The host tools and Qt (moc, rcc, uic) come from the Linux set-up.
    "$ROOT/scripts/setup.sh" --windows
    local host_qt
    host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
    case "$host_qt" in
        "$QT_VERSION"*) ;;
        *) fail "The host Qt must be $QT_VERSION to match the cross Qt (found $host_qt)." ;;
    esac
}

# Debian's source package at the pinned version, fetched into a fresh folder
# through an apt configuration of its own (deb-src lines for bookworm and its
# security updates), so the system's sources stay as they are and no root is
# needed. apt checks the .dsc against Debian's signed index (dpkg-source's
# warning about the uploader's own signature only means debian-keyring is not
# installed); dpkg-source unpacks exactly the files the .dsc names and applies
# Debian's patches unless given --skip-patches.
fetch_source() { # name=version target-folder [dpkg-source option...]
    local package=${1%%=*} version=${1#*=} target=$2
    shift 2
    local apt=$OUT/apt download=$OUT/src/$package-download
    mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial"
    : > "$apt/sources.list"
    printf '%s\n' \
        'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm bookworm-updates' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' '' \
        'Types: deb-src' 'URIs: http://deb.debian.org/debian-security' 'Suites: bookworm-security' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
        > "$apt/sources/debian-src.sources"
    local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources"
                   -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache")
    apt-get "${options[@]}" update -qq
    rm -rf "$download" "$target"
    mkdir -p "$download"
    if ! (cd "$download" && apt-get "${options[@]}" source -qq --download-only "$package=$version"); then
        fail "Debian no longer offers $package $version; it offers" \
             "$(apt-cache "${options[@]}" showsrc "$package" | sed -n 's/^Version: //p' | paste -sd ' ')." \
             "Pin one of those in scripts/windows/build.sh and rebuild."
    fi
    dpkg-source -x "$@" "$download/${package}_${version#*:}.dsc" "$target"
    rm -rf "$download"
}

build_qt() { # -> $DEPS/qt6-win
    step "Rebuilding Qt $QT_VERSION for Windows from Debian's $QT_SOURCE (long)"
    local src=$OUT/src/qtbase
    fetch_source "$QT_SOURCE" "$src" --skip-patches
    # Debian's security fixes in Debian's order, not its packaging patches
    # (those assume Debian's own build layout). Patches for modules we switch
    # off apply harmlessly.
    local fixes p
    mapfile -t fixes < <(grep '^cve-' "$src/debian/patches/series")
    [ ${#fixes[@]} -gt 0 ] || fail "No security patches listed in $src/debian/patches/series."
    for p in "${fixes[@]}"; do
        echo "applying $p"
        patch -d "$src" -p1 -s < "$src/debian/patches/$p"
    done
    patch -d "$src" -p1 -s < "$HERE/qt-6.4.2-noopengl-qwindows.patch"
    rm -rf "$OUT/src/qt-build"
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
    rm -rf "$OUT/src/qt-build" "$src"
}

build_sqlite() { # -> $DEPS/sqlite-win
    step "Rebuilding SQLite for Windows from Debian's $SQLITE_SOURCE"
    # tclsh writes the amalgamation.
    "$ROOT/scripts/setup.sh" --windows tcl
    local src=$OUT/src/sqlite3
    # Every Debian patch applied, its security fixes among them, as Debian builds it.
    fetch_source "$SQLITE_SOURCE" "$src"
    (cd "$src" && ./configure >/dev/null && make -s sqlite3.c sqlite3.h >/dev/null)
    mkdir -p "$DEPS/sqlite-win/lib" "$DEPS/sqlite-win/include"
    x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
        -c "$src/sqlite3.c" -o "$src/sqlite3.o"
    x86_64-w64-mingw32-gcc-ar-posix rcs "$DEPS/sqlite-win/lib/libsqlite3.a" "$src/sqlite3.o"
    cp "$src/sqlite3.h" "$src/sqlite3ext.h" "$DEPS/sqlite-win/include/"
    rm -rf "$src"
}

# Sets ARCHIVE_PATH and ARCHIVE_SHA256 to an archive that may be used: one
# whose checksum is the pinned one, or the one a rebuild here recorded beside it.
find_archive() { # archive pinned-sha256
    local dir sum
    for dir in "$CACHE" "$OUT/cache"; do
        [ -f "$dir/$1" ] || continue
        sum=$(sha256_of "$dir/$1")
        if [ "$sum" = "$2" ] || { [ -f "$dir/$1.sha256" ] && [ "$sum" = "$(cat "$dir/$1.sha256")" ]; }; then
            ARCHIVE_PATH=$dir/$1
            ARCHIVE_SHA256=$sum
            return 0
        fi
        echo "Not using $dir/$1: its checksum $sum is neither the pinned one nor a rebuild's." >&2
    done
    return 1
}

# Packs a rebuilt dependency into build-win/cache/, where the next run looks,
# with its checksum beside it. The same files always give the same archive, so
# the printed checksum can be pinned once the archive is put in the cache.
pack_dep() { # folder archive
    local dir=$OUT/cache
    mkdir -p "$dir"
    tar -C "$DEPS" --sort=name --mtime=@0 --owner=0 --group=0 --numeric-owner -cf - "$1" |
        gzip -n > "$dir/$2.part"
    mv "$dir/$2.part" "$dir/$2"
    ARCHIVE_PATH=$dir/$2
    ARCHIVE_SHA256=$(sha256_of "$ARCHIVE_PATH")
    echo "$ARCHIVE_SHA256" > "$dir/$2.sha256"
    echo "Wrote $ARCHIVE_PATH"
    echo "  sha256 $ARCHIVE_SHA256"
    echo "  To share it, copy it to $CACHE and pin that checksum in scripts/windows/build.sh."
}

# One dependency: kept when unpacked from the archive in use, else unpacked
# afresh, or rebuilt and packed when no archive may be used. deps/<folder>.sha256
# names the archive it came from, so a newly pinned archive replaces an older
# one, and the project is then built again from scratch against it.
prepare_dep() { # folder archive pinned-sha256 rebuild-function
    local stamp=$DEPS/$1.sha256
    if find_archive "$2" "$3"; then
        [ -d "$DEPS/$1" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$ARCHIVE_SHA256" ] && return 0
        step "Unpacking $ARCHIVE_PATH"
        rm -rf "${DEPS:?}/$1" "$stamp" "$BUILD"
        tar xzf "$ARCHIVE_PATH" -C "$DEPS"
    else
        rm -rf "${DEPS:?}/$1" "$stamp" "$BUILD"
        "$4"
        pack_dep "$1" "$2"
    fi
    echo "$ARCHIVE_SHA256" > "$stamp"
}

prepare_deps() {
    mkdir -p "$DEPS"
    prepare_dep qt6-win "$QT_ARCHIVE" "$QT_SHA256" build_qt
    prepare_dep sqlite-win "$SQLITE_ARCHIVE" "$SQLITE_SHA256" build_sqlite
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
        # A prefix left half made would be taken as ready next time.
        if ! wineboot -i > "$OUT/wineboot.log" 2>&1; then
            cat "$OUT/wineboot.log" >&2
            rm -rf "$WINEPREFIX"
            fail "wineboot could not create the Wine prefix."
        fi
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
    cp "$qt"/plugins/styles/qwindowsvistastyle.dll "$stage/styles/"
    cp "$qt"/plugins/imageformats/qgif.dll "$qt"/plugins/imageformats/qico.dll "$stage/imageformats/"
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
