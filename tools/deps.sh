#!/usr/bin/env bash
# Installs the Debian packages Korvel needs, and only those still missing,
# so that a fresh Debian 12 machine needs nothing but this repository.
# Usage: tools/deps.sh build|test|screenshot|a11y|package|fuzz|windows|profile ...

set -euo pipefail

packages_for() {
    case "$1" in
    # python3 writes the third-party notices (packaging/notices.py).
    build) echo "cmake make g++ pkg-config python3 qt6-base-dev qt6-l10n-tools qt6-translations-l10n fonts-wqy-microhei fonts-liberation2 libcli11-dev nlohmann-json3-dev libudev-dev libsqlite3-dev libicu-dev libpq-dev" ;;
    # zsh and fish check their completion files (tests/packaging); the shared
    # history's tests start a private PostgreSQL server of their own.
    test) echo "libgtest-dev libgmock-dev ccache clang-format clang-tidy python3-jsonschema zsh fish postgresql" ;;
    screenshot) echo "xvfb xauth x11-utils" ;;
    a11y) echo "xvfb xauth dbus-daemon dbus-bin at-spi2-core python3-pyatspi" ;;
    package) echo "dpkg-dev lintian desktop-file-utils appstream file" ;;
    fuzz) echo "clang libclang-rt-14-dev" ;;
    # The 64-bit, posix-thread cross compiler alone (std::thread needs it; the
    # mingw-w64 meta package would add the i686 and win32-thread compilers too),
    # the 64-bit Wine loader, and GoogleTest's sources to build with the cross compiler.
    # SQLite is cross-built from Debian's own source package (dpkg-dev unpacks
    # it; tclsh generates its one-file form). libpq is cross-built from the
    # postgresql-15 source of the version libpq-dev has.
    # For the window on Windows: Qt is cross-built from Debian's own source
    # package too (Ninja builds it), NSIS makes the setup, wixl and msitools'
    # msibuild the MSI, osslsigncode signs them (openssl makes the test's
    # certificate, python3-pefile reads the version information), Xvfb shows
    # korvel.exe under Wine, xdotool presses its keys and ImageMagick
    # photographs it.
    windows) echo "g++-mingw-w64-x86-64-posix wine64 googletest dpkg-dev ninja-build tcl libpq-dev nsis wixl msitools osslsigncode openssl python3-pefile xvfb xauth xdotool imagemagick" ;;
    # Where the window's start-up time, memory and idle wake-ups go (bench/README.md).
    profile) echo "linux-perf heaptrack strace" ;;
    *) echo "tools/deps.sh: unknown set '$1'" >&2; exit 2 ;;
    esac
}

missing=()
for set in "$@"; do
    for pkg in $(packages_for "$set"); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
