#!/usr/bin/env bash
# The setup program as a fleet uses it, silently, in a fresh prefix: install
# into a folder with spaces and non-ASCII letters with the test camera and
# autostart; record with the installed recorder; refuse a second folder;
# upgrade while the recorder runs; uninstall; run the uninstaller again;
# install once more and uninstall with the settings.
# Before the install and after the uninstall the prefix's files and registry
# may differ only in the recordings and the recorder's kept settings.
#
#   installer_scenario.sh <vistrel-setup-VERSION.exe> <VERSION>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/winelib.sh"
. "$here/../../scripts/recorder-lib.sh"
setup=$1 version=$2
[ -f "$setup" ] || { echo "no $setup: build it with make installer"; exit 1; }
root=${VISTREL_WINE_ROOT:-$(dirname "$setup")/../wine}
# Arguments and paths carry non-ASCII letters; the shortcuts the installer
# makes must not turn into menu entries of the Linux desktop.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
c=$WINEPREFIX/drive_c
dir='C:\Program Files\Vistrel Fahrt Ü Ωmega'
unix_dir="$c/Program Files/Vistrel Fahrt Ü Ωmega"
cap=$c/Recordings
mkdir -p "$cap"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrel'
filter_clsid='{8B4A194C-061F-4E53-BEE5-08B55129CB9D}'
page_clsid='{7EB64495-DB8A-46EE-A957-D22C7F579926}'
compressor='{33D9A760-90C8-11D0-BD43-00A0C911CE86}\Instance\{6390F6C0-65D0-4381-A28E-9973BA5D4BB4}'
camera='{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance\{39331074-C9D0-474C-B069-436019AB0843}'
shipped="vistrel.exe orvant.dll vistrel-mjpeg.dll testcam.dll vistrel-send.exe vistrel-gpsfeed.exe
    vistrel-obdfeed.exe vistrel-osdtext.exe vistrel-repair.exe uninstall.exe"
reg() { wine_exec 60 reg "$@" 2>/dev/null | tr -d '\r'; }
value() { reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# Through cmd: Wine would quote an argument with spaces, and the setup
# program takes /D= only unquoted, as Windows' own command lines give it.
setup_run() { wine_exec 180 cmd /c "$(wine_path "$setup") $*" >/dev/null 2>&1; }
# registered <key>: the key's values as regedit exports them (reg's console
# output loses letters outside the code page).
registered() {
    wine_exec 60 regedit /E "$(wine_path "$work/key.reg")" "$1" >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/key.reg" 2>/dev/null | tr -d '\r'
}
recorder_shown() { xwininfo -name 'Halvorix - Vistrel 1' 2>/dev/null | grep -q IsViewable; }
recorder_gone() { ! recorder_shown; }
lacks() { ! grep -q "$1" "$2"; }

# picture <name>: the prefix's files (with sizes) and its whole registry, as
# sorted lines. Temp folders hold the setup's own scratch copies.
picture() {
    (cd "$c" && find . \( -ipath '*/temp' -prune \) -o -printf '%p %s\n' | sort) >"$work/$1.files"
    tr -d '\r' <"$c/windows/win.ini" >"$work/$1.win.ini"
    wine_exec 60 regedit /E "$(wine_path "$work/$1.reg")" >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/$1.reg" | tr -d '\r' | awk '
        /^\[/ { key = $0; print key; next }
        /\\$/ { sub(/\\$/, ""); line = line $0; next }
        { line = line $0; if (line != "") print key " " line; line = "" }' | sort >"$work/$1.registry"
}
# What Wine itself writes as programs run: display and monitor data at each
# start, audio devices, console defaults, DirectShow's cache of the system's
# own codecs (four-letter names).
platform='\\Control\\Class\\\{4D36E96[8E]-E325-11CE-BFC1-08002BE10318\}|\\Enum\\DISPLAY\\'
platform+='|\\CurrentVersion\\MMDevices|\\Software\\Wine\\Drivers|\\Console\]'
platform+='|\\ActiveMovie(\\devenum(\\\{33D9A760-90C8-11D0-BD43-00A0C911CE86\}(\\[a-z0-9]{4})?)?)?\]'
# changes <before> <after> [allowed pattern]: the lines that differ, less
# the platform's own and the allowed ones.
changes() {
    cat <(comm -3 "$work/$1.files" "$work/$2.files") \
        <(comm -3 "$work/$1.registry" "$work/$2.registry") | sed 's/^\t//' |
        grep -Ev "$platform" | grep -Ev "${3:-^$}"
}
# The profile file minus the overlay's section of instance 1.
profile_less_overlay() { awk '/^\[/ { skip = ($0 == "[Orvant1]") } !skip' "$work/$1.win.ini"; }

# Instance 1 records the test camera at 320x240 with the overlay, from its
# start, into one segment until it is ended.
recorder_plant 1 'C:\Recordings\Capture' 0 $((0x420)) Resolution2=1
recorder_rate30 1
picture before

check "a silent install with both options succeeds" setup_run /S /TESTCAM /AUTOSTART "/D=$dir"
missing=
for f in $shipped guide/guide.html licences/libjpeg-turbo/LICENSE.md; do
    [ -f "$unix_dir/$f" ] || missing="$missing $f"
done
check "every file is installed (missing:${missing:- none})" [ -z "$missing" ]
esc=${dir//\\/\\\\}  # the folder as regedit writes it
check "the filter is registered at its installed path" grep -qxF "@=\"$esc\\\\orvant.dll\"" \
    <(registered "HKEY_CLASSES_ROOT\\CLSID\\$filter_clsid\\InprocServer32")
check "the property page is registered" grep -qxF "@=\"$esc\\\\orvant.dll\"" \
    <(registered "HKEY_CLASSES_ROOT\\CLSID\\$page_clsid\\InprocServer32")
check "the compressor is in the video compressor category" \
    [ "$(value "HKCR\\CLSID\\$compressor" FriendlyName)" = "Vistrel MJPEG Compressor" ]
check "the test camera is a video input device" [ -n "$(value "HKCR\\CLSID\\$camera" CLSID)" ]
entry=$(registered "${uninstall_key/HKLM/HKEY_LOCAL_MACHINE}")
absent=
for v in DisplayName DisplayVersion Publisher InstallLocation DisplayIcon UninstallString \
    QuietUninstallString EstimatedSize NoModify NoRepair; do
    grep -q "^\"$v\"=" <<<"$entry" || absent="$absent $v"
done
check "the uninstall entry is complete (absent:${absent:- none})" [ -z "$absent" ]
check "it names the version" grep -qxF "\"DisplayVersion\"=\"$version\"" <<<"$entry"
check "it names the folder" grep -qxF "\"InstallLocation\"=\"$esc\"" <<<"$entry"
check "its quiet uninstall is silent" \
    grep -qxF "\"QuietUninstallString\"=\"\\\"$esc\\\\uninstall.exe\\\" /S\"" <<<"$entry"
menu=$c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
check "Start-menu shortcuts for the recorder, the guide and the uninstaller" \
    test -f "$menu/Vistrel/Vistrel.lnk" -a -f "$menu/Vistrel/Vistrel guide.lnk" \
    -a -f "$menu/Vistrel/Uninstall Vistrel.lnk"
startup=$(find "$menu" -maxdepth 1 -iname startup)
check "a Startup shortcut starts the recorder with Windows" test -f "$startup/Vistrel.lnk"
binaries=()
for f in $shipped; do binaries+=("$unix_dir/$f"); done
check "the setup and every installed binary carry version $version" \
    "$here/check_versions.py" "$version" "$setup" "${binaries[@]}"

wine_exec 120 "$unix_dir/vistrel.exe" 1 >/dev/null 2>&1 &
recorder=$!
check "the installed recorder records" \
    wait_for 30 '[ "$(size_of "$(avis "$cap" | head -1)")" -gt 3000000 ]'
first=$(avis "$cap" | head -1)

# One install per machine: a second folder is refused while the first is
# untouched and its recorder goes on.
code=0
setup_run /S '/D=C:\Other Vistrel' || code=$?
check "a second folder is refused with exit code 2 ($code)" [ $code -eq 2 ]
check "nothing goes into the second folder" [ ! -e "$c/Other Vistrel" ]
check "the recorder goes on meanwhile" recorder_shown

# Upgrade over the running recorder, with a damaged file to be replaced.
cp "$unix_dir/vistrel-osdtext.exe" "$work/osdtext.exe"
echo damaged >"$unix_dir/vistrel-osdtext.exe"
check "the upgrade succeeds with a recorder running" setup_run /S
wait "$recorder"
code=$?
check "the recorder ended by Exit, with exit code 0 ($code)" [ $code -eq 0 ]
check "it saved its settings on the way" [ -n "$(value 'HKCU\Software\Halvorix\Vistrel1' WindowPosition)" ]
check "the damaged file is replaced" cmp -s "$work/osdtext.exe" "$unix_dir/vistrel-osdtext.exe"
check "the upgrade keeps the test camera and the autostart" \
    test -f "$unix_dir/testcam.dll" -a -f "$startup/Vistrel.lnk"
read -r w h frames <<<"$(avi_probe "$first")"
check "its segment is a readable 320x240 recording ($w x $h, $frames frames)" \
    test "${w:-0}x${h:-0}" = 320x240 -a "${frames:-0}" -ge 10
avi_frame_png "$first" 5 "$work/frame.png"
# The camera's corners hold only its vertical colour bars; the overlay's
# texts there make the rows differ from a plain bar row.
overlay=$(python3 - "$work/frame.png" <<'PY'
import subprocess, sys
raw = subprocess.run(["ffmpeg", "-v", "error", "-i", sys.argv[1], "-f", "rawvideo",
                      "-pix_fmt", "rgb24", "-"], capture_output=True).stdout
if len(raw) != 320 * 240 * 3:
    print(-1); sys.exit()
px = lambda x, y: raw[(y * 320 + x) * 3:(y * 320 + x) * 3 + 3]
rows = list(range(0, 30)) + list(range(210, 240))
differ = sum(1 for y in rows for x in range(320)
             if sum(abs(a - b) for a, b in zip(px(x, y), px(x, 70))) > 60)
print(differ * 100 // (len(rows) * 320))
PY
)
check "the overlay is in the recorded picture (${overlay}% of the corner rows)" [ "$overlay" -ge 3 ]
check "the upgrade starts the recorder again" wait_for 30 recorder_shown
check "and it records a new segment" \
    wait_for 30 '[ "$(count "$cap")" -ge 2 ] && [ "$(size_of "$(avis "$cap" | tail -1)")" -gt 3000000 ]'

# Uninstall as the entry says, while that recorder runs; a copy of the
# uninstaller stays behind for a second run.
cp "$unix_dir/uninstall.exe" "$work/uninstall-copy.exe"
wine_exec 60 "$unix_dir/uninstall.exe" /S >/dev/null 2>&1
# The uninstaller goes on from a temporary copy of itself.
check "the uninstaller removes the folder" wait_for 60 '[ ! -e "$unix_dir" ]'
timeout 60 "$WINESERVER64" -w
check "the running recorder was ended" recorder_gone
check "both segments stay and are readable" \
    test "$(count "$cap")" -eq 2 -a "$(avi_probe "$(avis "$cap" | tail -1)" | cut -d' ' -f3)" -ge 10
picture after
echo "--- changes between before the install and after the uninstall:"
changes before after | cut -c1-160
kept='^\./Recordings/|^\./windows/win\.ini |\\Software\\Halvorix\\Vistrel1\]'
check "only the recordings and the kept settings changed" [ -z "$(changes before after "$kept")" ]
check "the profile file changed only in the overlay's settings" \
    cmp -s <(profile_less_overlay before) <(profile_less_overlay after)

code=0
wine_exec 60 cmd /c "$(wine_path "$work/uninstall-copy.exe") /S _?=$dir" >/dev/null 2>&1 || code=$?
check "a second uninstall refuses with exit code 2 ($code)" [ $code -eq 2 ]
timeout 60 "$WINESERVER64" -w
picture again
check "and changes nothing" [ -z "$(changes after again)" ]

# Settings go only when asked for, and then only the recorders' own.
check "a new install succeeds" setup_run /S "/D=$dir"
recorder_reg add 'HKCU\Software\Halvorix\Vistrel12' /v CapSeconds /t REG_DWORD /d 5 /f
recorder_reg add 'HKCU\Software\Halvorix\Vistrel MJPEG Compressor' /v Quality /t REG_DWORD /d 50 /f
recorder_reg add 'HKCU\Software\Halvorix\Vistrel1 old' /v Keep /t REG_DWORD /d 1 /f
wine_exec 60 "$unix_dir/uninstall.exe" /S /REMOVESETTINGS >/dev/null 2>&1
check "an uninstall that removes the settings finishes" wait_for 60 '[ ! -e "$unix_dir" ]'
timeout 60 "$WINESERVER64" -w
left=$(reg query 'HKCU\Software\Halvorix' /s | grep -o 'Halvorix\\[^\\]*$' | sort | paste -sd,)
check "the instances' and the compressor's settings are gone, other keys stay ($left)" \
    [ "$left" = 'Halvorix\Vistrel1 old' ]
check "so is the overlay's section of the profile file" lacks '\[Orvant1\]' "$c/windows/win.ini"
checks_end
