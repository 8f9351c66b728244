#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows from Debian's own qt6-base source
# package with Debian's mingw-w64 g++ (posix threads), using the host's Qt
# tools of the same version (moc, rcc, uic) through QT_HOST_PATH. Installs
# Core, Gui, Widgets, Test, the windows and offscreen platform plugins and the
# Windows style into a cache outside the checkout:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/korvel/qt6-mingw/<version>-<key>/prefix
#
# where <key> hashes the source version, the configure options and the
# compiler's version, so a change to any of them builds afresh beside the old
# one. A finished build leaves a stamp after its install and a second run only
# checks it; an interrupted one resumes in its build directory.
#
# The source comes through apt-get source with a private source list and
# private index lists, so the system's apt configuration stays untouched and
# apt checks the Release signature and the .dsc checksums as usual.
#
# Usage: tools/build-qt-mingw.sh [--print-prefix]
#   --print-prefix  print the install prefix and nothing else (no build)
# Environment: KORVEL_QT_JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/debian-source.sh
. "$here/debian-source.sh"

jobs=${KORVEL_QT_JOBS:-2}
cxx=x86_64-w64-mingw32-g++-posix
# The host tools must be the same Qt version as the source.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)

options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=OFF
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_opengl=OFF
    -DFEATURE_network=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_icu=OFF
    -DFEATURE_testlib=ON
    # Debian strips the tablet library from its source; the windows platform
    # plugin does not build without this switch.
    -DFEATURE_tabletevent=OFF
    -DFEATURE_vulkan=OFF
    -DFEATURE_jpeg=OFF
    -DFEATURE_sql_sqlite=OFF
    # Parts of Qt no code of Korvel reaches; each one off is compile units the
    # cold build does not spend. Item views for tables (QTableView, the header
    # and proxy models), the file dialog and Qt Gui's PDF writer stay on.
    -DFEATURE_direct2d=OFF
    -DFEATURE_graphicsview=OFF
    -DFEATURE_graphicseffect=OFF
    -DFEATURE_mdiarea=OFF
    -DFEATURE_undocommand=OFF
    -DFEATURE_undostack=OFF
    -DFEATURE_undogroup=OFF
    -DFEATURE_undoview=OFF
    -DFEATURE_columnview=OFF
    -DFEATURE_treewidget=OFF
    -DFEATURE_datawidgetmapper=OFF
    -DFEATURE_mainwindow=OFF
    -DFEATURE_dockwidget=OFF
    -DFEATURE_toolbar=OFF
    -DFEATURE_menubar=OFF
    -DFEATURE_statusbar=OFF
    -DFEATURE_calendarwidget=OFF
    -DFEATURE_datetimeedit=OFF
    -DFEATURE_colordialog=OFF
    -DFEATURE_fontdialog=OFF
    -DFEATURE_fontcombobox=OFF
    -DFEATURE_wizard=OFF
    -DFEATURE_inputdialog=OFF
    -DFEATURE_errormessage=OFF
    -DFEATURE_dial=OFF
    -DFEATURE_lcdnumber=OFF
    -DFEATURE_keysequenceedit=OFF
    -DFEATURE_splashscreen=OFF
    -DFEATURE_toolbox=OFF
    -DFEATURE_commandlinkbutton=OFF
    -DFEATURE_textbrowser=OFF
    -DFEATURE_syntaxhighlighter=OFF
    -DFEATURE_gestures=OFF
    -DFEATURE_scroller=OFF
    -DFEATURE_systemtrayicon=OFF
    -DFEATURE_sessionmanager=OFF
    -DFEATURE_textodfwriter=OFF
    -DFEATURE_textmarkdownreader=OFF
    -DFEATURE_textmarkdownwriter=OFF
    -DFEATURE_movie=OFF
    -DFEATURE_gif=OFF
    -DFEATURE_ico=OFF
)

toolchain_text='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
'

compiler=$("$cxx" --version | head -1)
key=$(printf '%s\n' "$version" "${options[@]}" "$compiler" "$toolchain_text" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/korvel
dir=$cache/qt6-mingw/${version//[^A-Za-z0-9.+-]/_}-$key
prefix=$dir/prefix

if [ "${1:-}" = --print-prefix ]; then
    echo "$prefix"
    exit 0
fi
# One build at a time per build directory: a second run (./test.sh starts
# the build early in the background and tests/wine/run.sh asks for it again)
# waits here for the first, then finds its stamp.
mkdir -p "$(dirname "$dir")"
exec 9>"$dir.lock"
flock 9
# Fixes to Qt's source for this configuration (the windows platform plugin
# without OpenGL), applied once each to the unpacked source. They are not in
# the key: a new one is applied to the source in place and the build goes on
# from where it was; the install stamp names the set it was built with.
patches=("$here"/qt-mingw-patches/*.patch)
patch_set=$(cat "${patches[@]}" | sha256sum | cut -c1-12)
if [ -f "$dir/installed.stamp" ] && [ "$(cat "$dir/installed.stamp")" = "$patch_set" ]; then
    echo "Qt for mingw: cached in $prefix"
    exit 0
fi

started=$SECONDS
mkdir -p "$dir"
printf '%s' "$toolchain_text" >"$dir/toolchain.cmake"

src=$dir/src
if [ ! -f "$src/.korvel-unpacked" ]; then
    rm -rf "$src"
    debian_source qt6-base "$version" "$dir/fetch"
    mv "$dir/fetch/$(cd "$dir/fetch" && ls -d qt6-base-*/ | head -1)" "$src"
    rm -rf "$dir/fetch"
    touch "$src/.korvel-unpacked"
fi
for patch_file in "${patches[@]}"; do
    name=$(basename "$patch_file" .patch)
    if [ ! -f "$src/.korvel-patched-$name" ]; then
        patch -d "$src" -p1 --forward --quiet <"$patch_file"
        touch "$src/.korvel-patched-$name"
    fi
done
fetched=$SECONDS

build=$dir/build
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$dir/toolchain.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${options[@]}" >"$dir/configure.log" 2>&1 ||
        { tail -40 "$dir/configure.log" >&2; rm -f "$build/build.ninja"; exit 1; }
fi
configured=$SECONDS

echo "Qt for mingw: building in $build ($jobs jobs, log in $dir/build.log)"
cmake --build "$build" --parallel "$jobs" >"$dir/build.log" 2>&1 ||
    { tail -40 "$dir/build.log" >&2; exit 1; }
built=$SECONDS
rm -rf "$prefix"
cmake --install "$build" >"$dir/install.log" 2>&1 || { tail -20 "$dir/install.log" >&2; exit 1; }
echo "$patch_set" >"$dir/installed.stamp"
echo "Qt for mingw: installed in $prefix in $((SECONDS - started)) s (source $((fetched - started)) s," \
    "configure $((configured - fetched)) s, build $((built - configured)) s, install $((SECONDS - built)) s)"
