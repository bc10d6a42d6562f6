#!/usr/bin/env bash
# Installs SongDeck with its setup program under wine as a user would and removes it again:
# the silent install and the client's install mode, a second install over the first that keeps
# the user's settings, and the silent uninstall with the client's uninstall mode.
#   tests/package/windows_installer_test.sh [SongDeckSetup.exe VERSION hold_file.exe]
# Without arguments (a Windows build that makes no SongDeck.exe yet) it is skipped (77).
set -euo pipefail
if [ $# -eq 0 ]; then
    echo "windows installer: skipped: this Windows build makes no SongDeck.exe, so no setup program"
    exit 77
fi
setup=$1
version=$2
hold_file=$3
fail() {
    echo "windows installer: $*" >&2
    exit 1
}
[ -f "$setup" ] || fail "no $setup: build the target SongDeckSetup (makensis, Debian's nsis)"
pages=$(cd "$(dirname "$0")/../../resources/res" && pwd)

export WINEARCH=win32 WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$(dirname "$setup")/wine-prefix}
# The Start-menu shortcut must not become a menu entry of this machine.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
scratch=$(mktemp -d /tmp/songdeck-setup.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# Every program is bounded: without a display a stuck one would wait for ever.
bounded_wine() { timeout 120 wine "$@"; }
# The data of one value in the text of `reg query`.
field() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<<"$2"; }
expect() { [ "$2" = "$3" ] || fail "$1 is '$2', not '$3'"; }

mapfile -t win_folders < <(bounded_wine cmd /c 'echo %LOCALAPPDATA%&echo %APPDATA%&echo %ProgramData%' | tr -d '\r')
mapfile -t folders < <(timeout 60 winepath -u "${win_folders[@]}")
[ ${#folders[@]} -eq 3 ] || fail "the prefix's folders are unknown: ${win_folders[*]}"
for folder in "${folders[@]}"; do
    [[ $folder == "$WINEPREFIX"/* ]] || fail "$folder is not inside the prefix"
done
local_data=${folders[0]} common_data=${folders[2]}
shortcut="${folders[1]}/Microsoft/Windows/Start Menu/Programs/SongDeck.lnk"
program="$local_data/Tavnel/SongDeck"
program_win="${win_folders[0]}\\Tavnel\\SongDeck"
guid="$local_data/Tavnel/common/guid.dat"
# The user's own update stage, and the all-users one of earlier versions.
stage="$local_data/Tavnel/SongDeck/update"
old_stage="$common_data/Tavnel/SongDeck/update"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\SongDeck'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
run_value() { field TavNelSongDeck "$(bounded_wine reg query "$run_key" | tr -d '\r')"; }

# Leftovers of an earlier run in this prefix.
bounded_wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
bounded_wine reg delete "$run_key" /v TavNelSongDeck /f >/dev/null 2>&1 || true
rm -rf "$local_data/Tavnel" "$common_data/Tavnel" "$shortcut"

bounded_wine "$setup" /S || fail "the silent install failed"
for file in SongDeck.exe RunSongDeck.exe Uninstall.exe; do
    [ -f "$program/$file" ] || fail "no $file in the program folder"
done
diff -r -x .gitkeep "$pages" "$program/res" >&2 || fail "res\\ is not the pages of the build"
[ ! -e "$program/package-managed" ] || fail "a per-user installation must update itself"
grep -qa 'RunSongDeck\.exe' "$shortcut" || fail "no Start-menu shortcut to the launcher"
entry=$(bounded_wine reg query "$uninstall_key" | tr -d '\r') || fail "no uninstall entry"
expect DisplayName "$(field DisplayName "$entry")" SongDeck
expect DisplayVersion "$(field DisplayVersion "$entry")" "$version"
expect Publisher "$(field Publisher "$entry")" Tavnel
expect InstallLocation "$(field InstallLocation "$entry")" "$program_win"
expect UninstallString "$(field UninstallString "$entry")" "\"$program_win\\Uninstall.exe\""
expect NoModify "$(field NoModify "$entry")" 0x1
expect NoRepair "$(field NoRepair "$entry")" 0x1
# The client's install mode ran: its id, and start at login for a user without options.
grep -qxE '[0-9a-f]{17}' "$guid" || fail "the install mode made no client id"
expect "the Run value" "$(run_value)" "\"$program_win\\SongDeck.exe\" -hide"

# A second install (a new version) over the first: the user's options and id stay, and an
# update staged for the old version is dropped.
printf '[TAVNELDESKTOPCLIENT]\r\nHOTKEY_VK=70\r\n' >"$program/config.ini"
cp "$program/config.ini" "$scratch/config.ini"
cp "$guid" "$scratch/guid.dat"
mkdir -p "$stage" "$old_stage" && echo '<update/>' | tee "$stage/update.xml" >"$old_stage/update.xml"
bounded_wine "$setup" /S || fail "the second install failed"
cmp -s "$program/config.ini" "$scratch/config.ini" || fail "installing again changed config.ini"
cmp -s "$guid" "$scratch/guid.dat" || fail "installing again changed the client id"
[ ! -e "$stage/update.xml" ] && [ ! -e "$old_stage" ] ||
    fail "installing again kept the old version's staged update"
expect "the Run value after installing again" "$(run_value)" "\"$program_win\\SongDeck.exe\" -hide"

# The client's windows asked for the browser control's document mode under its name.
emulation_key='HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION'
bounded_wine reg add "$emulation_key" /v SongDeck.exe /t REG_DWORD /d 11001 /f >/dev/null 2>&1 ||
    fail "the document mode value could not be written"
# The uninstall while a client is still ending (its update check may take 3 s to stop): its
# program file stays held for a while after the uninstall mode has returned.
mkdir -p "$stage" && echo '<update/>' >"$stage/update.xml"
exec {holder}< <(bounded_wine "$hold_file" "$program_win\\SongDeck.exe" 2000)
read -r -t 60 -u "$holder" held && [ "${held%$'\r'}" = held ] || fail "SongDeck.exe could not be held"
# The uninstaller copies itself away and returns at once; a copy run with _?= works in place
# and returns when it is done, so its end is the end of the uninstall.
cp "$program/Uninstall.exe" "$scratch/"
bounded_wine "$scratch/Uninstall.exe" /S "_?=$program_win" || fail "the silent uninstall failed"
exec {holder}<&-
[ ! -e "$program" ] || fail "the program folder is left: $(ls -A "$program")"
[ ! -e "$shortcut" ] || fail "the Start-menu shortcut is left"
! bounded_wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry is left"
# The client's uninstall mode ran: options, start at login and the update folder are gone.
expect "the Run value after the uninstall" "$(run_value)" ""
[ ! -e "$common_data/Tavnel" ] || fail "the update folder is left"
! bounded_wine reg query "$emulation_key" /v SongDeck.exe >/dev/null 2>&1 ||
    fail "the browser control's document mode value is left"
[ -f "$guid" ] || fail "the client id is kept for a later installation, but it is gone"
# A folder of the user's own: setup makes a SongDeck folder inside it, and the uninstaller takes
# only what setup and an update put there, never the user's files beside them.
chosen="$scratch/chosen"
mkdir -p "$chosen/res/photos"
echo thesis >"$chosen/res/photos/thesis.txt" && echo notes >"$chosen/notes.txt"
echo foreign >"$chosen/RunSongDeck2.exe"
chosen_win=$(timeout 60 winepath -w "$chosen")
bounded_wine "$setup" /S "/D=$chosen_win" || fail "the install into a chosen folder failed"
[ -f "$chosen/SongDeck/SongDeck.exe" ] || fail "setup did not install into a folder of its own"
cp -r "$chosen/res" "$chosen/notes.txt" "$chosen/RunSongDeck2.exe" "$chosen/SongDeck/"
# An update's apply placed a file and added it to the record, as the launcher does.
echo update >"$chosen/SongDeck/libupdate.dll"
printf 'libupdate.dll\r\n' | iconv -t UTF-16LE >>"$chosen/SongDeck/SongDeck.files"
# Lines naming many files, and lines longer than a read: one of the two is cut right before
# "notes.txt", which the piece after the cut would name.
long=$(printf 'y%.0s' $(seq 1023))
printf '*.txt\r\nres\\photos\\th?sis.txt\r\n%snotes.txt\r\ny%snotes.txt\r\n' "$long" "$long" |
    iconv -t UTF-16LE >>"$chosen/SongDeck/SongDeck.files"
cp "$chosen/SongDeck/Uninstall.exe" "$scratch/"
bounded_wine "$scratch/Uninstall.exe" /S "_?=$chosen_win\\SongDeck" || fail "the uninstall failed"
for folder in "$chosen" "$chosen/SongDeck"; do
    [ "$(cat "$folder/res/photos/thesis.txt" "$folder/notes.txt" "$folder/RunSongDeck2.exe")" = \
        "$(printf 'thesis\nnotes\nforeign')" ] || fail "the user's files in $folder were touched"
done
left=$(cd "$chosen/SongDeck" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expect "what the uninstall left" "$left" "./RunSongDeck2.exe ./notes.txt ./res/photos/thesis.txt "
echo "windows installer: SongDeckSetup.exe installs, installs again and uninstalls"
