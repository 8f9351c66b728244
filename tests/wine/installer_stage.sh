#!/usr/bin/env bash
# The installer under Wine: a silent per-user install (/S) into the prefix,
# the installed korvel.exe and korvel-cli.exe asked for their version, the
# Start-menu entries and the uninstall entry checked, a silent uninstall, and
# nothing of Korvel left in the prefix's files or its user registry.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: installer_stage.sh SETUP_EXE VERSION
set -euo pipefail
setup=$1 version=$2
wine="$(cd "$(dirname "$0")" && pwd)/wine.sh"
user=$(id -un)
local_app="$WINEPREFIX/drive_c/users/$user/AppData/Local"
install_dir="$local_app/Programs/Korvel"
menu_dir="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Korvel"
wineserver() { timeout 60 /usr/lib/wine/wineserver64 "$@"; }
fail() { echo "installer: $*" >&2; exit 1; }

timeout 120 "$wine" "$setup" /S
wineserver -w || true
for file in korvel.exe korvel-cli.exe Help.pdf LICENSE.txt uninstall.exe; do
    [ -f "$install_dir/$file" ] || fail "no $file in $install_dir"
done
for entry in "Korvel" "Try with a Simulated Logger" "Korvel Manual" "Licence"; do
    [ -f "$menu_dir/$entry.lnk" ] || fail "no Start-menu entry '$entry'"
done
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvel'
has_key() { timeout 60 "$wine" reg query "$1" >/dev/null 2>&1; }
has_key "$uninstall_key" || fail "no uninstall entry in the user's registry"
for program in korvel.exe korvel-cli.exe; do
    out=$(timeout 60 "$wine" "$install_dir/$program" --version 2>/dev/null | tr -d '\r')
    [[ "$out" == *"$version"* ]] || fail "installed $program --version said '$out'"
done

timeout 120 "$wine" "$install_dir/uninstall.exe" /S
# The uninstaller runs from a copy in the temporary folder; wait for it.
wineserver -w || true
[ ! -e "$install_dir" ] || fail "left behind: $(ls -A "$install_dir")"
[ ! -e "$menu_dir" ] || fail "Start-menu folder left behind"
! has_key "$uninstall_key" || fail "uninstall entry left behind"
! has_key 'HKCU\Software\Korvel' || fail "HKCU\Software\Korvel left behind"
echo "installer: installed, ran --version, uninstalled, nothing left"
