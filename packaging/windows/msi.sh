#!/usr/bin/env bash
# Builds korvel-<version>-x64.msi with wixl from korvel.wxs and the layout's
# files.wxs (layout.py), adds what wixl 0.101 cannot express, and signs it
# (sign.sh). wixl takes no Environment element and no feature conditions, so
# the PATH entry (appended to the computer's PATH, removed on uninstall) and
# the condition that installs it with ADDTOPATH=1 go into their tables here,
# with the install folder for Programs and Features (ARPINSTALLLOCATION, set
# after costing; wixl would schedule it after the install).
# Usage: msi.sh OUT.msi LAYOUT_DIR KORVEL_WXS VERSION PUBLISHER ICON SIGN_SCRIPT
set -euo pipefail
out=$1 layout=$2 wxs=$3 version=$4 publisher=$5 icon=$6 sign=$7
out=$(realpath -m "$out")
build=$(mktemp -d "$out.XXXXXX")
trap 'rm -rf "$build"' EXIT
msi=$build/$(basename "$out")

# wixl finds the files relative to the sources' own folder.
cp "$wxs" "$layout/korvel.wxs"
cp "$icon" "$layout/korvel.ico"
rm -f "$out"
(cd "$layout" && timeout 300 wixl -a x64 -D "Version=$version" -D "Publisher=$publisher" \
    -D Icon=korvel.ico -o "$msi" korvel.wxs files.wxs)
# Backquotes quote the SQL's names.
# shellcheck disable=SC2016
timeout 60 msibuild "$msi" \
    -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
    -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`) VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'OnPath')" \
    -q 'CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)' \
    -q "INSERT INTO \`Condition\` (\`Feature_\`, \`Level\`, \`Condition\`) VALUES ('OnPath', 1, 'ADDTOPATH = \"1\"')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)" \
    -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('SetInstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('SetInstallLocation', 1001)"
"$sign" "$msi"
mv "$msi" "$out"
