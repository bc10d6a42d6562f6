#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks what it installs, and runs its
# maintainer scripts against a scratch prefix the way dpkg runs them (no display, the client's
# folders redirected into the scratch folder): installing runs the client's install mode,
# an upgrade keeps the user's settings, a removal runs the uninstall mode.
#   tests/package/check_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/songdeck-package.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "package: $*" >&2
    exit 1
}

# No package trusts the development key or no key unless the build or the packaging run says
# so (this one is a test package).
source=$(cd "$(dirname "$0")/../.." && pwd)
dev=$(sed -n 's/^set(SONGDECK_DEV_UPDATE_KEY "\(.*\)")$/\1/p' "$source/CMakeLists.txt")
for case in "$dev OFF refused" "other,$dev OFF refused" "' , ' OFF refused" "$dev ON made" \
    "other OFF made"; do
    eval "set -- $case"
    answer=made
    env -u SONGDECK_ALLOW_DEVELOPMENT_KEY cmake -DKEYS="$1" -DDEVELOPMENT_KEY="$dev" -DALLOW="$2" \
        -P "$source/cmake/check_update_keys.cmake" >"$scratch/keys.log" 2>&1 ||
        answer=$(grep -q "development" "$scratch/keys.log" && echo refused)
    [ "$answer" = "$3" ] || fail "a package with keys \"$1\", allowed $2, was not $3"
done
(cd "$build" && SONGDECK_ALLOW_DEVELOPMENT_KEY=1 cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$scratch"/out/songdeck_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
dpkg-deb -e "$deb" "$scratch/control"

program="$scratch/root/usr/lib/songdeck"
for file in SongDeck RunSongDeck; do
    [ -x "$program/$file" ] || fail "no executable $file in the program folder"
done
[ -f "$program/package-managed" ] || fail "the package lacks the marker that leaves updates to apt"
[ -d "$program/res" ] || fail "no res/ in the program folder"
desktop="$scratch/root/usr/share/applications/songdeck.desktop"
grep -qx "Exec=/usr/lib/songdeck/RunSongDeck" "$desktop" || fail "the desktop entry does not start the launcher"
grep -qx "Icon=songdeck" "$desktop" || fail "the desktop entry names no icon"
[ -f "$scratch/root/usr/share/icons/hicolor/48x48/apps/songdeck.png" ] || fail "no hicolor icon"
[ "$(readlink "$scratch/root/usr/bin/songdeck")" = "../lib/songdeck/RunSongDeck" ] ||
    fail "bin/songdeck does not lead to the launcher"
# libcurl and libcrypto are opened at run time, so the package has to name them itself.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libcurl4 libssl3; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "the package does not depend on $package"
done

for script in postinst prerm; do
    [ -x "$scratch/control/$script" ] || fail "no $script"
    sed "s|/usr/lib/songdeck|$program|g" "$scratch/control/$script" >"$scratch/$script"
    chmod +x "$scratch/$script"
done
home="$scratch/home"
mkdir -p "$home" "$scratch/run"
chmod 700 "$scratch/run"
run_script() {
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" \
        SONGDECK_LOCAL_APPDATA="$home/local" SONGDECK_COMMON_APPDATA="$home/common" \
        XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$scratch/run" \
        timeout 60 "$scratch/$1" "$2" || fail "$1 $2 failed"
}
autostart="$home/config/autostart/TavNelSongDeck.desktop"

run_script postinst configure
[ -f "$home/local/Tavnel/common/guid.dat" ] || fail "installing made no client id"
[ -f "$autostart" ] || fail "installing did not turn start at login on"

run_script prerm upgrade
[ -f "$autostart" ] || fail "an upgrade removed the user's start at login"

mkdir -p "$home/local/Tavnel/SongDeck"
echo "[TAVNELDESKTOPCLIENT]" >"$home/local/Tavnel/SongDeck/config.ini"
run_script prerm remove
[ ! -e "$autostart" ] || fail "removing left start at login on"
[ ! -e "$home/local/Tavnel/SongDeck" ] || fail "removing left the user's data folder"
echo "package: $(basename "$deb") installs and its scripts run the modes"
