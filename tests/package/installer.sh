#!/bin/sh
# The installer under Wine, as IT departments and musicians run it.
# Silently, in a headless prefix:
# - an install into a new folder gives exactly the planned files, each with
#   its sum in the package's SHA256SUMS, and the entry in installed apps;
# - the installer and its uninstaller carry the version;
# - an install over an older one replaces the drivers and keeps the stored
#   settings; one whose driver file a running host holds stops with exit code
#   2 and changes nothing;
# - the uninstaller removes exactly those files and the entry, and leaves the
#   folder's other files and the stored settings.
# With its pages, on a virtual display: a screenshot of each page of the
# install and the uninstall, each page another picture; then the files are
# there and gone as above.
#
# usage: installer.sh <setup.exe> <unpacked package> <version> <work folder>
#        <screenshot folder>
# (WINEPREFIX set: a headless prefix; the pages get a prefix of their own
# under the work folder).
setup="$1"
package="$2"
version="$3"
shots="$5"
mkdir -p "$4"
work=$(cd "$4" && pwd)  # Wine takes only an absolute prefix
failures=0
export WINEDEBUG=-all

fail() {
    echo "FAIL installer: $*"
    failures=$((failures + 1))
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KolmarKeypadDrivers'
settings_key='HKCU\Lorendel\QP240_Remote\{057908FD-45D9-4A2C-8ABD-AFD1667DB9C5}'
own="Kolmar keypad drivers"

# The files below a folder, relative to it, one a line, sorted.
files_below() {
    (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

# check_installed FOLDER EXTRA: the files an install of both drivers leaves,
# with the package's sums (the uninstaller, made at install time, has none),
# and EXTRA, the files that were there before.
check_installed() {
    expected=$( (printf '%s\n' Kolmar32Keys.dll Kolmar15Keys.dll "$own/INSTALL.html" \
        "$own/CHANGELOG.html" "$own/host_simulator.exe" "$own/docs/key-maps.html" \
        "$own/uninstall.exe" $2) | LC_ALL=C sort)
    actual=$(files_below "$1")
    [ "$expected" = "$actual" ] ||
        fail "installed files differ from the plan: $(printf 'expected:\n%s\ngot:\n%s' "$expected" "$actual")"
    for file in Kolmar32Keys.dll Kolmar15Keys.dll "$own/INSTALL.html" "$own/CHANGELOG.html" \
        "$own/host_simulator.exe" "$own/docs/key-maps.html"; do
        name=${file#"$own/"}
        sum=$(sed -n "s|^\([0-9a-f]*\)  $name\$|\1|p" "$package/SHA256SUMS")
        [ -n "$sum" ] || fail "$name is not in SHA256SUMS"
        [ "$(sha256sum < "$1/$file" | cut -d' ' -f1)" = "$sum" ] ||
            fail "$file: not the package's file"
    done
}

# version_of FILE: the ProductVersion of its version record.
version_of() {
    strings -el "$1" | sed -n '/^ProductVersion$/{n;p;q;}'
}

entry() {
    wine reg query "$uninstall_key" < /dev/null 2>/dev/null | tr -d '\r'
}

entry_exists() {
    wine reg query "$uninstall_key" < /dev/null > /dev/null 2>&1
}

# --- Silent ---
[ "$(version_of "$setup")" = "$version" ] || fail "the installer has no version $version"
drive="$WINEPREFIX/drive_c"
folder="$drive/QP240/RemoteDrivers"
rm -rf "$drive/QP240"
wine reg delete "$uninstall_key" /f < /dev/null > /dev/null 2>&1
wine reg delete 'HKCU\Lorendel' /f < /dev/null > /dev/null 2>&1
mkdir -p "$folder"
echo "another host driver" > "$folder/Other.dll"

wine "$setup" /S < /dev/null
status=$?
[ $status = 2 ] || fail "a silent install without /D= ended with $status, not 2"
entry_exists && fail "a silent install without /D= made an uninstall entry"

wine "$setup" /S '/D=C:\QP240\RemoteDrivers' < /dev/null
status=$?
[ $status = 0 ] || fail "the silent install ended with $status"
check_installed "$folder" Other.dll
[ "$(version_of "$folder/$own/uninstall.exe")" = "$version" ] ||
    fail "the uninstaller has no version $version"
for line in "DisplayName    REG_SZ    Kolmar keypad drivers" \
    "DisplayVersion    REG_SZ    $version" "Publisher    REG_SZ" "EstimatedSize    REG_DWORD" \
    "DisplayIcon    REG_SZ    C:\\QP240\\RemoteDrivers\\$own\\uninstall.exe" \
    "UninstallString    REG_SZ    \"C:\\QP240\\RemoteDrivers\\$own\\uninstall.exe\""; do
    entry | grep -qF "$line" || fail "the uninstall entry has no \"$line\""
done

# An upgrade: the older drivers replaced, the stored settings kept.
wine reg add "$settings_key" /v Channel /t REG_BINARY /d 05000000 /f < /dev/null > /dev/null 2>&1
settings=$(wine reg query 'HKCU\Lorendel' /s < /dev/null | tr -d '\r')
echo "an older driver" > "$folder/Kolmar32Keys.dll"
wine "$setup" /S '/D=C:\QP240\RemoteDrivers' < /dev/null
status=$?
[ $status = 0 ] || fail "the install over an older one ended with $status"
check_installed "$folder" Other.dll
[ "$(wine reg query 'HKCU\Lorendel' /s < /dev/null | tr -d '\r')" = "$settings" ] ||
    fail "the install over an older one changed the stored settings"

# A host that holds a driver: the install stops before it writes anything.
wine "$package/host_simulator.exe" --no-decoys --press 0@8000 'C:\QP240\RemoteDrivers\Kolmar32Keys.dll' \
    < /dev/null > "$work/holder.out" 2>&1 &
holder=$!
sleep 3
echo "an older driver" > "$folder/Kolmar15Keys.dll"
before=$(cd "$folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)
wine "$setup" /S '/D=C:\QP240\RemoteDrivers' < /dev/null
status=$?
[ $status = 2 ] || fail "an install over a driver in use ended with $status, not 2"
[ "$(cd "$folder" && find . -type f -exec sha256sum {} + | LC_ALL=C sort)" = "$before" ] ||
    fail "an install over a driver in use changed files"
wait $holder
wine "$setup" /S '/D=C:\QP240\RemoteDrivers' < /dev/null || fail "the install after the host ended failed"

# The uninstaller works from a copy of itself and returns at once: wait for
# the prefix's programs to end.
wine "$folder/$own/uninstall.exe" /S < /dev/null
status=$?
wineserver -w
[ $status = 0 ] || fail "the silent uninstall ended with $status"
[ "$(files_below "$folder")" = Other.dll ] ||
    fail "the uninstall left or took other files: $(files_below "$folder")"
entry_exists && fail "the uninstall left its entry"
[ "$(wine reg query 'HKCU\Lorendel' /s < /dev/null | tr -d '\r')" = "$settings" ] ||
    fail "the silent uninstall did not keep the stored settings"

# --- The pages, on a virtual display ---
display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 2
gui_prefix="$work/gui-prefix"
(
    export DISPLAY="$display" WINEPREFIX="$gui_prefix" WINEDLLOVERRIDES="mscoree,mshtml="
    [ -d "$gui_prefix" ] || wine wineboot -i < /dev/null > /dev/null 2>&1
    rm -rf "$gui_prefix/drive_c/QP240"
    mkdir -p "$shots"
    shot() {
        sleep 2
        /usr/bin/python3 -c "from PIL import ImageGrab
ImageGrab.grab(xdisplay='$display').save('$shots/$1.png')"
    }
    wine "$setup" < /dev/null > /dev/null 2>&1 &
    sleep 3
    shot 1-welcome
    xdotool key Return
    shot 2-drivers
    xdotool key Return
    shot 3-folder-empty
    xdotool type 'C:\QP240\Remote drivers'
    shot 4-folder
    xdotool key Return
    shot 5-installing
    xdotool key Return
    shot 6-finish
    xdotool key space Return  # without opening the guide
    wineserver -w
    installed=$(files_below "$gui_prefix/drive_c/QP240/Remote drivers" | tr '\n' ' ')
    echo "$installed" > "$work/gui-installed"
    wine "$gui_prefix/drive_c/QP240/Remote drivers/$own/uninstall.exe" < /dev/null > /dev/null 2>&1 &
    sleep 3
    shot 7-uninstall
    xdotool key Return
    shot 8-uninstall-settings
    xdotool key Return  # the default: keep them
    shot 9-uninstalled
    xdotool key Return
    wineserver -w
    files_below "$gui_prefix/drive_c/QP240" > "$work/gui-left"
)
grep -q "Kolmar32Keys.dll" "$work/gui-installed" && grep -q "Kolmar15Keys.dll" "$work/gui-installed" ||
    fail "the install with its pages did not install both drivers: $(cat "$work/gui-installed")"
[ ! -s "$work/gui-left" ] || fail "the uninstall with its pages left $(cat "$work/gui-left")"
previous=""
for picture in "$shots"/*.png; do
    [ -n "$previous" ] && cmp -s "$previous" "$picture" &&
        fail "${picture##*/} shows the same as ${previous##*/}: the page did not change"
    previous="$picture"
done
[ "$(ls "$shots" | wc -l)" = 9 ] || fail "not every page has its screenshot"

[ $failures -eq 0 ] && echo "installer: installs, upgrades and uninstalls as planned"
[ $failures -eq 0 ]
