#!/usr/bin/env bash
# Runs a Windows GUI test program under wine on the test desktop (tests/gui/session.sh: Xvfb,
# openbox, a tint2 panel with its tray). The program gets a fresh wine prefix of its own. The
# prefix is made without a display: made inside the session, its services never start and every
# navigation of the browser control waits on them. Its wineserver then starts inside the
# session, so wine's desktop uses that display, its panel (the work area) and its tray. Every
# step is bounded. SONGDECK_WINE_LOGPIXELS (e.g. 144 for 150 %) sets the screen's scale.
#   tests/windows_gui/run.sh PREFIX PROGRAM [ARGS...]
set -u
if [ "${1:-}" = "--inside" ]; then
    shift
    prefix=$1
    shift
    export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    wineserver -p
    timeout 60 wine cmd /c exit >/dev/null 2>&1
    timeout 300 wine "$@"
    rc=$?
    wineserver -k 2>/dev/null
    # A prefix is large; a failed run keeps it for a look.
    [ $rc -eq 0 ] && rm -rf "$prefix"
    exit $rc
fi
prefix=$1
(
    export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
    wineserver -k 2>/dev/null
    rm -rf "$prefix"
    timeout 120 wineboot -i >/dev/null 2>&1
    # A Chinese system gives the dialogs' and menus' fonts Chinese glyphs; wine's own have none,
    # so the test desktop names the Chinese font the test machine has (fonts-wqy-microhei).
    for font in "MS Shell Dlg" Tahoma; do
        timeout 60 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v "$font" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
    done
    # A crashing test must not wait on a dialog.
    timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 \
        /f >/dev/null 2>&1
    # Wine reads the scale when its server starts: the session's server below.
    for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        [ -z "${SONGDECK_WINE_LOGPIXELS:-}" ] || timeout 60 wine reg add "$key" /v LogPixels /t REG_DWORD /d "$SONGDECK_WINE_LOGPIXELS" /f >/dev/null 2>&1
    done
    wineserver -k 2>/dev/null
    timeout 30 wineserver -w
)
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../gui/session.sh" "$here/run.sh" --inside "$@"
