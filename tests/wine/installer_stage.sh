#!/usr/bin/env bash
# The installers under Wine, as a laboratory's IT would deploy them. Makes a
# throw-away code-signing certificate, builds the setup and the MSI signed
# with it (korvel_setup, korvel_msi) and, from the same files, an older
# version of each (installer/installers.sh); then checks that
#   - korvel.exe, korvel-cli.exe, the setup and its uninstaller carry the
#     version in their version information, the MSI in its ProductVersion,
#     and each verifies (osslsigncode) against the test certificate;
#   - per user (/S /CURRENTUSER /ADDTOPATH): the older setup installs, the
#     setup refuses to replace files while korvel.exe runs (exit 3), then
#     upgrades in place, keeping the PATH entry; the files, the Start-menu
#     entries and the uninstall entry (Publisher, InstallLocation,
#     EstimatedSize, DisplayVersion) are there, korvel.exe --version answers,
#     and korvel-cli --version too from a new shell through PATH; the
#     user's own PATH entries come through whole, and a PATH too long for
#     the setup to hold is left exactly as it was;
#   - per machine (/S /ALLUSERS /ADDTOPATH): the same in Program Files, the
#     computer's Start menu, uninstall entry and PATH;
#   - the MSI (msiexec /i ... /qn ADDTOPATH=1): the older one installs and
#     the newer replaces it, leaving one product, which the older one then
#     does not replace;
#   - each uninstall (uninstall.exe /S, msiexec /x ... /qn) leaves nothing:
#     no files, Start-menu entries, uninstall entry or PATH entry.
# Run by run.sh inside its Wine session; every step is bounded.
# Usage: installer_stage.sh WORKDIR BUILD_DIR VERSION
set -euo pipefail
work=$1 build=$2 version=$3
here="$(cd "$(dirname "$0")" && pwd)"
wine="$here/wine.sh"
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
build=$(cd "$build" && pwd)

failures=0
check() {
    local name=$1
    shift
    if "$@"; then
        echo "  ok    $name"
    else
        echo "  FAIL  $name"
        failures=$((failures + 1))
    fi
}
fail() { echo "installer: $*" >&2; exit 1; }
# until_ok SECONDS COMMAND...: COMMAND every fifth of a second until it succeeds.
until_ok() {
    local tries=$(($1 * 5))
    shift
    for _ in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}

# An older version to upgrade from: one step down in the last non-zero part.
IFS=. read -r major minor patch <<<"$version"
if ((patch)); then
    old_version=$major.$minor.$((patch - 1))
elif ((minor)); then
    old_version=$major.$((minor - 1)).0
else
    old_version=$((major - 1)).0.0
fi

# The throw-away certificate, and the installers signed with it.
echo "installers signed with a test certificate (build log: $work/build.log):"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$work/key.pem" -out "$work/cert.pem" \
    -subj "/CN=Korvel test signing/O=Korvel developers" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" 2>/dev/null
printf 'test-%s' "$RANDOM" >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
    -passout "file:$work/password"
export KORVEL_SIGN_PKCS12=$work/cert.p12 KORVEL_SIGN_PASSWORD_FILE=$work/password
unset KORVEL_SIGN_PASSWORD KORVEL_SIGN_TIMESTAMP
setup=$build/korvel-setup-$version.exe
msi=$build/korvel-$version-x64.msi
old_setup=$work/korvel-setup-$old_version.exe
old_msi=$work/korvel-$old_version-x64.msi
{
    timeout 900 cmake --build "$build" --target korvel_setup korvel_msi
    # zlib: a third of LZMA's time, and this one is only installed over.
    timeout 300 "$build/installer/installers.sh" setup "$old_version" "$old_setup" \
        "-XSetCompressor /FINAL zlib"
    timeout 300 "$build/installer/installers.sh" msi "$old_version" "$old_msi"
} >"$work/build.log" 2>&1 || { tail -n 30 "$work/build.log" >&2; fail "building the installers failed"; }
grep -q "NOT SIGNED" "$work/build.log" && fail "something was left unsigned: see $work/build.log"

signed() { timeout 60 osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >/dev/null 2>&1; }
# version_info VERSION FILE...: the version Explorer shows in each file's properties.
version_info() {
    /usr/bin/python3 - "$@" <<'PY'
import sys
import pefile

version, paths = sys.argv[1], sys.argv[2:]
want = version + ".0"
bad = []
for path in paths:
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        bad.append(f"{path}: no version information")
        continue
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = {
        "file": (fixed.FileVersionMS, fixed.FileVersionLS),
        "product": (fixed.ProductVersionMS, fixed.ProductVersionLS),
    }
    for kind, (ms, ls) in numbers.items():
        got = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
        if got != want:
            bad.append(f"{path}: {kind} version {got}, not {want}")
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0] if getattr(pe, "FileInfo", None) else []:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if strings.get("ProductName") != "Korvel":
        bad.append(f"{path}: ProductName {strings.get('ProductName')!r}")
    if version not in strings.get("ProductVersion", ""):
        bad.append(f"{path}: ProductVersion {strings.get('ProductVersion')!r}")
    if not strings.get("CompanyName"):
        bad.append(f"{path}: no CompanyName")
for line in bad:
    print("    " + line)
sys.exit(1 if bad else 0)
PY
}
msi_version() { [ "$(msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')" = "$2" ]; }

check "korvel.exe, korvel-cli.exe and the setup carry version $version" \
    version_info "$version" "$build/installer/layout/files/korvel.exe" \
    "$build/installer/layout/files/korvel-cli.exe" "$setup"
check "the MSI's ProductVersion is $version" msi_version "$msi" "$version"
for file in "$build/installer/layout/files/korvel.exe" "$build/installer/layout/files/korvel-cli.exe" \
    "$setup" "$msi" "$old_setup" "$old_msi"; do
    check "$(basename "$file") is signed by the test certificate" signed "$file"
done

# Wine's view of the prefix.
user=$(id -un)
drive_c=$WINEPREFIX/drive_c
reg_value() {
    timeout 60 "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* \{2,\}//p"
}
has_key() { timeout 60 "$wine" reg query "$1" >/dev/null 2>&1; }
no_key() { ! has_key "$1"; }
is_value() { [ "$(reg_value "$1" "$2")" = "$3" ]; }
positive() { [ "$(($(reg_value "$1" "$2")))" -gt 0 ]; }
on_path() { # ENVIRONMENT_KEY WINDOWS_FOLDER: the folder is an entry of that PATH
    local path
    path=$(reg_value "$1" Path)
    [[ ";${path,,};" == *";${2,,};"* || ";${path,,};" == *";${2,,}\\;"* ]]
}
off_path() { ! on_path "$@"; }
# A new shell reads PATH from the registry, as a terminal opened after the install would.
from_path() { [[ "$(timeout 60 "$wine" cmd /c korvel-cli --version 2>/dev/null | tr -d '\r')" == *"$version"* ]]; }
answers() { [[ "$(timeout 60 "$wine" "$1" --version 2>/dev/null | tr -d '\r')" == *"$version"* ]]; }
gone() { [ ! -e "$1" ]; }
all_there() { # FOLDER NAME...
    local folder=$1 name
    shift
    for name in "$@"; do
        [ -f "$folder/$name" ] || { echo "    no $name in $folder"; return 1; }
    done
}
menu_entries=("Korvel.lnk" "Try with a Simulated Logger.lnk" "Korvel Manual.lnk" "Licence.lnk")
programs=(korvel.exe korvel-cli.exe)
files=(korvel.exe korvel-cli.exe Help.pdf LICENSE.txt)
[ -f "$build/installer/layout/files/THIRD-PARTY-NOTICES.txt" ] && files+=(THIRD-PARTY-NOTICES.txt)
user_environment='HKCU\Environment'
machine_environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvel'

# installed_as KIND ROOT FOLDER WINDOWS_FOLDER MENU ENVIRONMENT: the checks of a setup's install.
installed_as() {
    local kind=$1 root=$2 folder=$3 windows_folder=$4 menu=$5 environment=$6
    check "$kind: the files are in $windows_folder" all_there "$folder" "${files[@]}" uninstall.exe
    check "$kind: the Start-menu entries" all_there "$menu" "${menu_entries[@]}"
    check "$kind: the uninstall entry names version $version" \
        is_value "$root\\$uninstall_key" DisplayVersion "$version"
    check "$kind: the uninstall entry names the publisher" \
        is_value "$root\\$uninstall_key" Publisher "Korvel developers"
    check "$kind: the uninstall entry names the folder" \
        is_value "$root\\$uninstall_key" InstallLocation "$windows_folder"
    check "$kind: the uninstall entry has a size" positive "$root\\$uninstall_key" EstimatedSize
    check "$kind: the folder is on PATH" on_path "$environment" "$windows_folder"
    check "$kind: korvel.exe --version answers" answers "$folder/korvel.exe"
    check "$kind: korvel-cli --version answers from a new shell through PATH" from_path
    check "$kind: the installed programs and uninstaller carry version $version" \
        version_info "$version" "$folder/korvel.exe" "$folder/korvel-cli.exe" "$folder/uninstall.exe"
    for file in "${programs[@]}" uninstall.exe; do
        check "$kind: the installed $file is signed" signed "$folder/$file"
    done
}
# removed_as KIND KEY FOLDER MENU ENVIRONMENT WINDOWS_FOLDER: nothing left of an install.
removed_as() {
    local kind=$1 key=$2 folder=$3 menu=$4 environment=$5 windows_folder=$6
    # The uninstaller runs on from a copy of itself: wait for its end.
    until_ok 60 gone "$folder" || true
    until_ok 30 no_key "$key" || true
    check "$kind: uninstalled, the folder is gone" gone "$folder"
    check "$kind: uninstalled, the Start-menu folder is gone" gone "$menu"
    check "$kind: uninstalled, the uninstall entry is gone" no_key "$key"
    check "$kind: uninstalled, the folder is off PATH" off_path "$environment" "$windows_folder"
}
run_setup() { # SETUP ARGS...: prints nothing, returns its exit code
    local rc=0
    timeout 180 "$wine" "$@" >>"$work/wine.log" 2>&1 || rc=$?
    return "$rc"
}
exits() { # CODE COMMAND...
    local want=$1 rc=0
    shift
    "$@" || rc=$?
    [ "$rc" -eq "$want" ] || { echo "    exit $rc, not $want"; return 1; }
}

msi_products() { # the Windows Installer products named Korvel: "{PRODUCT-CODE} VERSION" lines
    timeout 60 "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s \
        2>/dev/null | tr -d '\r' | awk '
        function flush() { if (code != "" && name == "Korvel") print code, version }
        /^HKEY/ { flush(); code = ""; name = ""; version = ""
                  if (match($0, /\\\{[0-9A-Fa-f-]+\}$/)) code = substr($0, RSTART + 1) }
        /^ +DisplayName / { sub(/^ +DisplayName +REG_SZ +/, ""); name = $0 }
        /^ +DisplayVersion / { sub(/^ +DisplayVersion +REG_SZ +/, ""); version = $0 }
        END { flush() }'
}
# What an earlier run that stopped half-way left installed goes first.
for folder in "$drive_c/users/$user/AppData/Local/Programs/Korvel" "$drive_c/Program Files/Korvel"; do
    if [ -f "$folder/uninstall.exe" ]; then
        timeout 180 "$wine" "$folder/uninstall.exe" /S >/dev/null 2>&1 || true
        until_ok 60 gone "$folder/uninstall.exe" || true
    fi
done
msi_products | while read -r code _; do
    timeout 180 "$wine" msiexec /x "$code" /qn >/dev/null 2>&1 || true
done

# The prefix's PATH without empty entries (see the MSI below), and as the
# stage found it at its end.
machine_path=$(reg_value "$machine_environment" PATH | sed 's/;;*/;/g; s/^;//; s/;$//')
restore_path() {
    timeout 60 "$wine" reg add "$machine_environment" /v PATH /t REG_EXPAND_SZ \
        /d "$machine_path" /f >/dev/null 2>&1 || true
}
restore_path
trap restore_path EXIT

echo "the setup per user:"
folder=$drive_c/users/$user/AppData/Local/Programs/Korvel
windows_folder="C:\\users\\$user\\AppData\\Local\\Programs\\Korvel"
menu="$drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Korvel"
# The user's own PATH entries, one of them a folder whose name begins like
# the install folder's, must come through the install and uninstall whole.
user_path="C:\\Tools;$windows_folder-2"
timeout 60 "$wine" reg add "$user_environment" /v Path /t REG_EXPAND_SZ /d "$user_path" /f \
    >/dev/null 2>&1
check "the older setup $old_version installs" exits 0 run_setup "$old_setup" /S /CURRENTUSER /ADDTOPATH
check "the older version is registered" is_value "HKCU\\$uninstall_key" DisplayVersion "$old_version"
# The window keeps running: the setup must not replace its files under it.
QT_QPA_PLATFORM=offscreen timeout 120 "$wine" "$folder/korvel.exe" --demo \
    >>"$work/wine.log" 2>&1 &
running=$!
# Started once Wine has mapped the installed korvel.exe into the process.
mapped() {
    local child
    child=$(pgrep -P "$running" | head -n 1) || return 1
    grep -q "Programs/Korvel/korvel.exe" "/proc/$child/maps" 2>/dev/null
}
check "the installed korvel.exe starts" until_ok 60 mapped
check "while korvel.exe runs, the setup stops with exit 3" exits 3 run_setup "$setup" /S /CURRENTUSER
check "and leaves the older version in place" is_value "HKCU\\$uninstall_key" DisplayVersion "$old_version"
kill "$running" 2>/dev/null || true
wait "$running" 2>/dev/null || true
check "the setup upgrades the older version in place" exits 0 run_setup "$setup" /S /CURRENTUSER
installed_as "per user" HKCU "$folder" "$windows_folder" "$menu" "$user_environment"
run_setup "$folder/uninstall.exe" /S || true
removed_as "per user" "HKCU\\$uninstall_key" "$folder" "$menu" "$user_environment" "$windows_folder"
check "per user: uninstalled, the user's own PATH entries are as they were" \
    is_value "$user_environment" Path "$user_path"
# A PATH longer than the setup can hold whole is left exactly as it is.
long_path="C:\\Tools"
while ((${#long_path} < 1100)); do long_path+=";C:\\Tools\\${#long_path}"; done
timeout 60 "$wine" reg add "$user_environment" /v Path /t REG_EXPAND_SZ /d "$long_path" /f \
    >/dev/null 2>&1
check "a setup with /ADDTOPATH installs over a PATH of ${#long_path} characters" \
    exits 0 run_setup "$setup" /S /CURRENTUSER /ADDTOPATH
check "and leaves that PATH as it was" is_value "$user_environment" Path "$long_path"
run_setup "$folder/uninstall.exe" /S || true
until_ok 60 gone "$folder" || true
check "so does its uninstaller" is_value "$user_environment" Path "$long_path"
timeout 60 "$wine" reg delete "$user_environment" /v Path /f >/dev/null 2>&1 || true

echo "the setup per machine:"
folder="$drive_c/Program Files/Korvel"
windows_folder='C:\Program Files\Korvel'
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvel"
check "the setup installs for everyone" exits 0 run_setup "$setup" /S /ALLUSERS /ADDTOPATH
installed_as "per machine" HKLM "$folder" "$windows_folder" "$menu" "$machine_environment"
run_setup "$folder/uninstall.exe" /S || true
removed_as "per machine" "HKLM\\$uninstall_key" "$folder" "$menu" "$machine_environment" \
    "$windows_folder"

echo "the MSI:"
products_are() { [ "$(msi_products | cut -d' ' -f2 | sort -u | tr '\n' ' ')" = "$1" ]; }
msiexec() { run_setup msiexec "$@"; }
# Wine's msi puts a per-machine package's Start-menu entries into the user's
# menu, and leaves an empty entry (;;) in PATH where an uninstall took its
# folder out, after which Wine's cmd searches PATH no further: so PATH is
# tried from a new shell on the first install, and the menu looked for in
# both places.
user_menu="$drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Korvel"
menu_of_msi() { if [ -d "$menu" ]; then echo "$menu"; else echo "$user_menu"; fi; }
# Wine maps the Linux root to drive Z:.
check "the older MSI installs" exits 0 msiexec /i "Z:$old_msi" /qn ADDTOPATH=1
check "the older MSI is registered" products_are "$old_version "
check "MSI: korvel-cli --version answers from a new shell through PATH" from_path
upgrades() { msiexec /i "Z:$msi" /qn ADDTOPATH=1 && products_are "$version "; }
no_downgrade() { ! msiexec /i "Z:$old_msi" /qn && products_are "$version "; }
menus_gone() { gone "$menu" && gone "$user_menu"; }
check "the newer MSI replaces it: one product, version $version" upgrades
check "an older MSI does not replace the newer one" no_downgrade
msi_entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(msi_products | head -n 1 | cut -d' ' -f1)"
check "MSI: the uninstall entry names the publisher" is_value "$msi_entry" Publisher "Korvel developers"
check "MSI: the uninstall entry names the folder" is_value "$msi_entry" InstallLocation "$windows_folder\\"
check "MSI: the files are in $windows_folder" all_there "$folder" "${files[@]}"
check "MSI: the Start-menu entries" all_there "$(menu_of_msi)" "${menu_entries[@]}"
check "MSI: the folder is on PATH" on_path "$machine_environment" "$windows_folder"
for program in "${programs[@]}"; do
    check "MSI: $program --version answers" answers "$folder/$program"
    check "MSI: the installed $program is signed" signed "$folder/$program"
done
check "MSI: uninstalls" exits 0 msiexec /x "Z:$msi" /qn
check "MSI: uninstalled, the folder is gone" gone "$folder"
check "MSI: uninstalled, the Start-menu folder is gone" menus_gone
check "MSI: uninstalled, no product is registered" products_are ""
check "MSI: uninstalled, the folder is off PATH" off_path "$machine_environment" "$windows_folder"

if ((failures)); then
    echo "installer: $failures checks failed; logs in $work" >&2
    exit 1
fi
echo "installer: signed, installed per user, per machine and by MSI, upgraded, uninstalled, nothing left"
