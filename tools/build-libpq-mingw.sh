#!/usr/bin/env bash
# Builds libpq, PostgreSQL's C client, for 64-bit Windows from Debian's own
# postgresql-15 source package with Debian's mingw-w64 gcc (posix threads), of
# the version the host's libpq-dev has, so both builds speak to the shared
# history through the same client. Only libpq and the parts of src/port and
# src/common it needs are built; no server, no tools. Without OpenSSL (Debian
# packages none for mingw): a connection string that requires TLS is refused
# by this libpq with its own message. Installs into a cache outside the
# checkout:
#
#   ${XDG_CACHE_HOME:-$HOME/.cache}/korvel/libpq-mingw/<version>-<key>/prefix
#     include/  libpq-fe.h, libpq-events.h, postgres_ext.h, pg_config_ext.h
#     lib/      libpq.a, static and whole: libpq with its own src/common and
#               src/port objects
#
# where <key> hashes the source version, the configure options and the
# compiler's version. Link with
#
#   -I<prefix>/include <prefix>/lib/libpq.a -lsecur32 -lws2_32 -lshell32
#
# PostgreSQL makes libpq a DLL on Windows; the archive here is made from the
# same objects, so that the programs stay single files like the rest of the
# Windows build. libpq brings its own small pthread emulation for Windows,
# whose functions carry the names of winpthreads' (which the posix-thread
# C++ runtime links): they are renamed in the archive to pq_pthread_*, so the
# two never meet in one program.
#
# A finished build leaves a stamp after its install and a second run only
# checks it; an interrupted one starts its step again.
#
# The source comes through apt-get source with a private source list and
# private index lists (tools/debian-source.sh), so the system's apt
# configuration stays untouched and apt checks the Release signature and the
# .dsc checksums as usual.
#
# Usage: tools/build-libpq-mingw.sh [--print-prefix]
#   --print-prefix  print the install prefix and nothing else (no build)
# Environment: KORVEL_LIBPQ_JOBS (default 2).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/debian-source.sh
. "$here/debian-source.sh"

jobs=${KORVEL_LIBPQ_JOBS:-2}
host=x86_64-w64-mingw32
cc=$host-gcc-posix
version=$(dpkg-query -W -f='${Version}' libpq-dev)
# A client only: nothing here reads a terminal, compresses, or looks up LDAP.
options=(--host="$host" --without-readline --without-zlib --without-icu --without-openssl
    --without-ldap --without-gssapi --disable-nls)

compiler=$("$cc" --version | head -1)
key=$(printf '%s\n' "$version" "${options[@]}" "$compiler" | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/korvel
dir=$cache/libpq-mingw/${version//[^A-Za-z0-9.+-]/_}-$key
prefix=$dir/prefix

if [ "${1:-}" = --print-prefix ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$dir/installed.stamp" ]; then
    echo "libpq for mingw: cached in $prefix"
    exit 0
fi

started=$SECONDS
mkdir -p "$dir"
src=$dir/src
if [ ! -f "$src/.korvel-unpacked" ]; then
    rm -rf "$src" "$dir/fetch"
    # The client library's version is the server package's: libpq-dev comes
    # from the postgresql-15 source.
    debian_source postgresql-15 "$version" "$dir/fetch"
    mv "$dir/fetch/$(cd "$dir/fetch" && ls -d postgresql-15-*/ | head -1)" "$src"
    rm -rf "$dir/fetch"
    touch "$src/.korvel-unpacked"
fi
fetched=$SECONDS

build=$dir/build
fail() {
    tail -30 "$1" >&2
    exit 1
}
if [ ! -f "$build/.korvel-configured" ]; then
    rm -rf "$build"
    mkdir -p "$build"
    (cd "$build" && CC=$cc "$src/configure" "${options[@]}" >"$dir/configure.log" 2>&1) ||
        fail "$dir/configure.log"
    touch "$build/.korvel-configured"
fi
configured=$SECONDS

# The headers libpq's objects include, then the client variants of src/port
# and src/common (the server's are left out), then libpq's objects.
# SHLIB_PREREQS= keeps libpq's rule from building every variant of src/port;
# the DLL is PostgreSQL's own way to link the objects, and a link error there
# means one the programs would meet too.
{
    make -C "$build/src/backend" generated-headers &&
        make -C "$build/src/port" -j"$jobs" pg_config_paths.h libpgport.a libpgport_shlib.a &&
        make -C "$build/src/common" -j"$jobs" libpgcommon.a libpgcommon_shlib.a &&
        make -C "$build/src/interfaces/libpq" -j"$jobs" SHLIB_PREREQS= all-shared-lib
} >"$dir/build.log" 2>&1 || fail "$dir/build.log"
compiled=$SECONDS

# One archive of libpq's objects (without the DLL's version resource) and the
# src/common and src/port objects they use.
pack=$dir/pack
rm -rf "$pack" "$prefix"
mkdir -p "$pack/port" "$pack/common" "$prefix/include" "$prefix/lib"
(cd "$pack/port" && "$host-ar" x "$build/src/port/libpgport_shlib.a")
(cd "$pack/common" && "$host-ar" x "$build/src/common/libpgcommon_shlib.a")
libpq_objects=()
for object in "$build"/src/interfaces/libpq/*.o; do
    [ "$(basename "$object")" = win32ver.o ] || libpq_objects+=("$object")
done
# Appended, never replaced: a member of one library may share a name with
# one of another.
"$host-ar" qcs "$pack/libpq.a" "${libpq_objects[@]}" "$pack"/common/*.o "$pack"/port/*.o
for name in pthread_self pthread_getspecific pthread_setspecific pthread_mutex_init \
    pthread_mutex_lock pthread_mutex_unlock; do
    echo "$name pq_$name"
done >"$pack/renames"
"$host-objcopy" --redefine-syms="$pack/renames" "$pack/libpq.a" "$prefix/lib/libpq.a"
cp "$src/src/interfaces/libpq/libpq-fe.h" "$src/src/interfaces/libpq/libpq-events.h" \
    "$src/src/include/postgres_ext.h" "$build/src/include/pg_config_ext.h" "$prefix/include/"
rm -rf "$pack"
touch "$dir/installed.stamp"
echo "libpq for mingw: installed in $prefix in $((SECONDS - started)) s (source $((fetched - started)) s," \
    "configure $((configured - fetched)) s, compile $((compiled - configured)) s," \
    "archive $((SECONDS - compiled)) s)"
