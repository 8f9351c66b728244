#!/usr/bin/env bash
# Builds the Debian package in build/package and checks it as a user would meet
# it: lintian, the files it holds, that its dependencies resolve, the desktop
# entry and AppStream metainfo, and that the installed programs start.
# Quiet on success apart from lintian's warnings; on failure says what failed
# and shows the end of the log, with a non-zero exit.
#
# Usage: packaging/check-package.sh [--install]
#   --install  also install the package on this machine with apt-get (root or
#              sudo) and start /usr/bin/korvel --version; it stays installed.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/package
log=$build/check-package.log
install_on_machine=false
# The desktop entry, the metainfo and the icon are named after the application id.
app_id=org.korvel.Korvel
case "${1:-}" in
"") ;;
--install) install_on_machine=true ;;
*) echo "Usage: packaging/check-package.sh [--install]" >&2; exit 2 ;;
esac

mkdir -p "$build"
: >"$log"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "check-package: $*" >&2
    if [ -s "$log" ]; then
        echo "--- last lines of $log ---" >&2
        tail -n 40 "$log" >&2
    fi
    exit 1
}

# run SECONDS WHAT COMMAND...: runs a step with a time bound, output to the log.
run() {
    local limit=$1 what=$2
    shift 2
    echo "### $what: $*" >>"$log"
    local status=0
    timeout --kill-after=10 "$limit" "$@" >>"$log" 2>&1 || status=$?
    if [ "$status" -eq 124 ]; then fail "$what took longer than ${limit}s"; fi
    if [ "$status" -ne 0 ]; then fail "$what failed (exit $status)"; fi
}

run 900 "installing build tools" "$root/tools/deps.sh" build package

# Debian's hardening flags (fortify, stack protector, relro, bindnow), as a
# Debian build of the package would use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
run 300 "configuring" cmake -S "$root" -B "$build" -G "Unix Makefiles" \
    -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_BENCH=OFF \
    -DKORVEL_SANITIZE= "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"
run 2400 "building" cmake --build "$build" -j2
rm -f "$build"/korvel_*.deb
run 900 "packaging" cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build"

debs=("$build"/korvel_*_amd64.deb)
if [ ! -f "${debs[0]}" ] || [ "${#debs[@]}" -ne 1 ]; then
    fail "cpack made no single korvel_<version>_amd64.deb"
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "korvel_${version}_amd64.deb" ] || fail "$(basename "$deb") does not match version $version"

# Lintian: errors fail the check, warnings are listed.
lintian_out=$scratch/lintian.txt
status=0
timeout 600 lintian --fail-on error "$deb" >"$lintian_out" 2>&1 || status=$?
cat "$lintian_out" >>"$log"
if [ "$status" -ne 0 ]; then
    cat "$lintian_out" >&2
    fail "lintian found errors in $(basename "$deb") (exit $status)"
fi
grep '^W: ' "$lintian_out" || true

grep -q '^Depends:.*libqt6widgets6' <(dpkg-deb -f "$deb") ||
    fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)"
run 120 "resolving the dependencies" apt-get install --simulate --no-install-recommends "$deb"

# The package's files, unpacked into a scratch root.
target=$scratch/root
run 60 "unpacking" dpkg-deb -x "$deb" "$target"
for path in \
    usr/bin/korvel usr/bin/korvel-sim usr/bin/korvel-cli usr/lib/korvel/korvel \
    usr/lib/korvel/Help.pdf \
    "usr/share/applications/$app_id.desktop" \
    "usr/share/metainfo/$app_id.metainfo.xml" \
    "usr/share/icons/hicolor/256x256/apps/$app_id.png" \
    usr/share/man/man1/korvel.1.gz usr/share/man/man1/korvel-sim.1.gz \
    usr/share/man/man1/korvel-cli.1.gz usr/share/bash-completion/completions/korvel-cli \
    usr/share/zsh/vendor-completions/_korvel-cli usr/share/fish/vendor_completions.d/korvel-cli.fish \
    usr/lib/udev/rules.d/60-korvel-serial.rules usr/share/korvel/korvel-settings.schema.json \
    usr/share/doc/korvel/copyright usr/share/doc/korvel/changelog.gz \
    usr/share/doc/korvel/shared-history-guide.md usr/share/doc/korvel/THIRD-PARTY-NOTICES.txt \
    usr/share/korvel/korvel-shared-history.sql; do
    [ -e "$target/$path" ] || fail "the package lacks /$path"
done
[ -L "$target/usr/bin/korvel" ] || fail "/usr/bin/korvel is not a symlink to the program"
program=$(readlink -f "$target/usr/bin/korvel")
[ "$program" = "$target/usr/lib/korvel/korvel" ] || fail "/usr/bin/korvel points to $program"
# The Help picture opens Help.pdf from the directory of the resolved executable.
head -c 5 "$(dirname "$program")/Help.pdf" | grep -q '^%PDF-' || fail "Help.pdf beside the program is no PDF"
file -b "$target/usr/share/icons/hicolor/256x256/apps/$app_id.png" | grep -q '256 x 256' ||
    fail "the icon is not 256x256"

run 60 "validating the desktop entry" desktop-file-validate "$target/usr/share/applications/$app_id.desktop"
run 60 "validating the metainfo" appstreamcli validate --no-net \
    "$target/usr/share/metainfo/$app_id.metainfo.xml"

# The installed programs start; the demo runs from the menu's command line.
export QT_QPA_PLATFORM=offscreen
for program in korvel korvel-sim korvel-cli; do
    out=$(timeout 30 "$target/usr/bin/$program" --version 2>&1) ||
        fail "installed $program --version failed: $out"
    grep -qx "$program $version" <<<"$out" || fail "installed $program --version says '$out', not '$program $version'"
done
demo=$(sed -n 's/^Exec=\(korvel --demo\)$/\1/p' "$target/usr/share/applications/$app_id.desktop")
[ -n "$demo" ] || fail "the desktop entry has no 'korvel --demo' action"
run 60 "starting the installed korvel --demo" \
    "$target/usr/bin/korvel" --demo --screenshot "$scratch/demo.png"
[ -s "$scratch/demo.png" ] || fail "korvel --demo drew no window"
# korvel-cli's settings file, read from its demo logger and written back, changes nothing.
run 60 "reading the installed korvel-cli --demo" \
    sh -c '"$1" --demo read --json >"$2"' sh "$target/usr/bin/korvel-cli" "$scratch/demo.json"
out=$(timeout 60 "$target/usr/bin/korvel-cli" --demo --quiet write "$scratch/demo.json" 2>&1) ||
    fail "installed korvel-cli --demo write failed: $out"
[ "$out" = "no change" ] || fail "installed korvel-cli --demo write says '$out', not 'no change'"

if $install_on_machine; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
    run 600 "installing the package" "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq "$deb"
    out=$(timeout 30 /usr/bin/korvel --version 2>&1) || fail "/usr/bin/korvel --version failed: $out"
    grep -qx "korvel $version" <<<"$out" || fail "/usr/bin/korvel --version says '$out'"
fi

echo "check-package: $(basename "$deb") OK ($(grep -c '^W: ' "$lintian_out" || true) lintian warnings)"
