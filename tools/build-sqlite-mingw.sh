#!/usr/bin/env bash
# Builds a static SQLite for 64-bit Windows from Debian's own sqlite3 source
# package, of the version the host's libsqlite3-dev has, so both builds keep
# their history with the same SQLite. The source package is SQLite's full
# tree; its one-file form (sqlite3.c) is generated on the host with the host's
# compiler and tclsh, as Debian's own build does, and then compiled with
# Debian's mingw-w64 gcc. Installs sqlite3.h, sqlite3ext.h and libsqlite3.a
# into a cache outside the checkout:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/korvel/sqlite-mingw/<version>-<key>/prefix
#
# where <key> hashes the source version, the compile options and the
# compiler's version. A finished build leaves a stamp after its install and a
# second run only checks it; an interrupted one starts its step again.
#
# The source comes through apt-get source with a private source list and
# private index lists (tools/debian-source.sh), so the system's apt
# configuration stays untouched and apt checks the Release signature and the
# .dsc checksums as usual.
#
# Usage: tools/build-sqlite-mingw.sh [--print-prefix]
#   --print-prefix  print the install prefix and nothing else (no build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/debian-source.sh
. "$here/debian-source.sh"

cc=x86_64-w64-mingw32-gcc-posix
version=$(dpkg-query -W -f='${Version}' libsqlite3-dev)
# Threads share nothing but SQLite's own locks; nothing loads extensions.
options=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION)

compiler=$("$cc" --version | head -1)
key=$(printf '%s\n' "$version" "${options[@]}" "$compiler" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/korvel
dir=$cache/sqlite-mingw/${version//[^A-Za-z0-9.+-]/_}-$key
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
if [ -f "$dir/installed.stamp" ]; then
    echo "SQLite for mingw: cached in $prefix"
    exit 0
fi

started=$SECONDS
mkdir -p "$dir"
src=$dir/src
if [ ! -f "$src/.korvel-unpacked" ]; then
    rm -rf "$src" "$dir/fetch"
    debian_source sqlite3 "$version" "$dir/fetch"
    mv "$dir/fetch/$(cd "$dir/fetch" && ls -d sqlite3-*/ | head -1)" "$src"
    rm -rf "$dir/fetch"
    touch "$src/.korvel-unpacked"
fi
fetched=$SECONDS

# The one-file form: configured for the host only to run its generators.
amalgamation=$dir/amalgamation
if [ ! -f "$amalgamation/.korvel-done" ]; then
    rm -rf "$amalgamation"
    mkdir -p "$amalgamation"
    (cd "$amalgamation" && "$src/configure" --disable-tcl --disable-readline >"$dir/configure.log" 2>&1 &&
        make -j2 sqlite3.c >"$dir/amalgamation.log" 2>&1) ||
        { tail -30 "$dir/configure.log" "$dir/amalgamation.log" >&2 2>/dev/null; exit 1; }
    touch "$amalgamation/.korvel-done"
fi
generated=$SECONDS

build=$dir/build
rm -rf "$build" "$prefix"
mkdir -p "$build" "$prefix/include" "$prefix/lib"
"$cc" "${options[@]}" -c "$amalgamation/sqlite3.c" -o "$build/sqlite3.o" >"$dir/build.log" 2>&1 ||
    { tail -30 "$dir/build.log" >&2; exit 1; }
x86_64-w64-mingw32-ar rcs "$build/libsqlite3.a" "$build/sqlite3.o"
cp "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$prefix/include/"
cp "$build/libsqlite3.a" "$prefix/lib/"
touch "$dir/installed.stamp"
echo "SQLite for mingw: installed in $prefix in $((SECONDS - started)) s (source $((fetched - started)) s," \
    "sqlite3.c $((generated - fetched)) s, compile $((SECONDS - generated)) s)"
