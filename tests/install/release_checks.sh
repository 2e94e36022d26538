#!/usr/bin/env bash
# Checks what `make release` put in DIST, then the Windows installer under
# Wine, in a fresh prefix of its own and with no X display:
#   release_checks.sh DIST VERSION WINDOW
# WINDOW is "yes" when the Windows build has the window program (lumagrab.exe),
# "no" when it has only lumagrab-cli.exe.
# - the artefacts carry VERSION in their names, SHA256SUMS matches them, the
#   Debian packages and the installer carry it in their control fields and
#   version resource;
# - the zip holds the programs, README.txt and LICENSE.txt in one folder;
# - the installer, run silently (/S), installs the same programs per machine,
#   the Start-menu shortcut to the window program (WINDOW yes) and
#   the entry in the list of installed programs; the installed
#   lumagrab-cli.exe prints VERSION;
# - the uninstaller, run silently, removes the programs, the shortcut and the
#   entry, and keeps the user's settings key.
set -euo pipefail

dist=$(realpath "$1")
version=$2
window=$3
arch=$(dpkg --print-architecture)
base=GPSLumagrab-$version-win64

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and their set-up would ask.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY
finish() {
    "$wineserver" -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap finish EXIT

passed=0
failed=0
# check WHAT COMMAND...: counts COMMAND's success as WHAT's.
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}

# --- dist/ -------------------------------------------------------------------------

same_lines() { [[ $1 == "$2" ]] || { diff <(echo "$1") <(echo "$2") || true; false; }; }

check "the artefacts, named with version $version" same_lines "$(ls "$dist")" \
    "$(printf '%s\n' "lumagrab-cli_${version}_$arch.deb" "lumagrab_${version}_$arch.deb" \
        "$base.exe" "$base.zip" SHA256SUMS | sort)"
sums_match() { (cd "$dist" && [[ $(wc -l <SHA256SUMS) == 4 ]] && sha256sum --quiet -c SHA256SUMS); }
check "SHA256SUMS covers and matches the four packages" sums_match
for package in lumagrab-cli lumagrab; do
    check "$package's control fields carry version $version" \
        same_lines "$(dpkg-deb -f "$dist/${package}_${version}_$arch.deb" Version)" "$version"
done

check "the installer's version resource names version $version" same_lines \
    "$(strings -el "$dist/$base.exe" | grep -A1 -x ProductVersion | tail -n 1)" "$version"

# The programs, the same in the zip and the installation.
programs=lumagrab-cli.exe
[[ $window == yes ]] && programs=$(printf '%s\n' lumagrab-cli.exe lumagrab.exe | sort)
check "the zip holds ${programs//$'\n'/ }, README.txt and LICENSE.txt in $base/" same_lines \
    "$(unzip -Z1 "$dist/$base.zip" | grep -v '/$' | sort)" \
    "$( (printf '%s\n' README.txt LICENSE.txt; echo "$programs") | sed "s|^|$base/|" | sort)"

# --- The installer under Wine ----------------------------------------------------------

# Runs a Windows program and waits for every process it started: NSIS
# uninstallers run a copy of themselves from the temporary folder.
run() {
    "$wine" "$@" </dev/null
    "$wineserver" -w
}
# The data of value NAME under registry KEY, or nothing.
reg_value() {
    "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
no_key() { ! "$wine" reg query "$1" >/dev/null 2>&1; }

"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w

run "$dist/$base.exe" /S
install_dir=$WINEPREFIX/drive_c/Program\ Files/GPS\ Lumagrab
shortcut=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/GPS\ Lumagrab/GPS\ Lumagrab.lnk
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\GPSLumagrab'

installed=$(find "$install_dir" -mindepth 1 -printf '%f\n' | sort)
check "the installer puts the programs, README, licence and uninstaller in Program Files" same_lines \
    "$installed" "$( (printf '%s\n' README.txt LICENSE.txt Uninstall.exe; echo "$programs") | sort)"
check "the installed lumagrab-cli.exe prints version $version" same_lines \
    "$("$wine" "$install_dir/lumagrab-cli.exe" --version | tr -d '\r')" "lumagrab-cli $version"

check "the list of installed programs names GPS Lumagrab" \
    same_lines "$(reg_value "$entry" DisplayName)" "GPS Lumagrab"
check "... version $version" same_lines "$(reg_value "$entry" DisplayVersion)" "$version"
check "... the publisher" same_lines "$(reg_value "$entry" Publisher)" "The GPS Lumagrab developers"
check "... the uninstaller" same_lines "$(reg_value "$entry" UninstallString)" \
    '"C:\Program Files\GPS Lumagrab\Uninstall.exe"'
size=$(reg_value "$entry" EstimatedSize)
cli_kib=$(($(stat -c %s "$install_dir/lumagrab-cli.exe") / 1024))
check "... the size ($((size)) KiB) at least lumagrab-cli.exe's" test $((size)) -ge "$cli_kib"
icon=lumagrab-cli.exe
[[ $window == yes ]] && icon=lumagrab.exe
check "... the icon of $icon" same_lines "$(reg_value "$entry" DisplayIcon)" \
    "C:\\Program Files\\GPS Lumagrab\\$icon"
if [[ $window == yes ]]; then
    check "a Start-menu shortcut for every user to lumagrab.exe" \
        grep -q 'lumagrab\.exe' <(tr -d '\0' <"$shortcut" 2>/dev/null)
fi

# --- The uninstaller ---------------------------------------------------------------------

settings='HKCU\Software\Orvane\GPSLumagrab'
"$wine" reg add "$settings" /v OutputPath /t REG_SZ /d 'C:\Pictures' /f >/dev/null
run "$install_dir/Uninstall.exe" /S
check "the uninstaller removes the programs and their folder" test ! -e "$install_dir"
check "... the entry in the list of installed programs" no_key "$entry"
check "... the Start-menu folder" test ! -e "$(dirname "$shortcut")"
check "... and keeps the user's settings" \
    same_lines "$(reg_value "$settings" OutputPath)" 'C:\Pictures'

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
