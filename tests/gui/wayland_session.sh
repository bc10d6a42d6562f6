#!/usr/bin/env bash
# Runs a program inside a private Wayland session: weston's headless compositor (with
# XWayland when --xwayland is given), a private runtime folder and a private D-Bus session
# that starts no service by activation (session-bus.conf).
# The compositor is ended when the program ends.
set -u
xwayland=()
if [ "${1:-}" = "--xwayland" ]; then
    xwayland=(--xwayland)
    shift
fi
program="$1"
shift

workdir=$(mktemp -d /tmp/songdeck-wayland.XXXXXX)
export SONGDECK_GUI_WORKDIR="$workdir"
export SONGDECK_LOCAL_APPDATA="$workdir/local"
export SONGDECK_COMMON_APPDATA="$workdir/common"
export XDG_CONFIG_HOME="$workdir/config"
# No accessibility bus is started on the private bus: GTK is told not to look for one.
export NO_AT_BRIDGE=1
export XDG_RUNTIME_DIR="$workdir/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# XWayland puts its socket there; a fresh machine may not have the folder yet.
[ -d /tmp/.X11-unix ] || mkdir -m 1777 /tmp/.X11-unix

weston --backend=headless-backend.so --idle-time=0 "${xwayland[@]}" --socket=wayland-songdeck \
    >"$workdir/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 1 200); do
    [ -S "$XDG_RUNTIME_DIR/wayland-songdeck" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.05
done
if [ ! -S "$XDG_RUNTIME_DIR/wayland-songdeck" ]; then
    echo "wayland-session: weston did not come up, see $workdir/weston.log" >&2
    kill "$weston_pid" 2>/dev/null
    exit 1
fi
# Absolute, so clients with a runtime folder of their own still find the compositor.
export WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/wayland-songdeck"
unset DISPLAY
if [ ${#xwayland[@]} -gt 0 ]; then
    for _ in $(seq 1 200); do
        display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$workdir/weston.log")
        [ -n "$display" ] && break
        sleep 0.05
    done
    if [ -z "$display" ]; then
        echo "wayland-session: XWayland did not come up, see $workdir/weston.log" >&2
        kill "$weston_pid" 2>/dev/null
        exit 1
    fi
    export DISPLAY="$display"
fi

dbus-run-session --config-file="$(dirname "$0")/session-bus.conf" -- "$program" "$@"
rc=$?
kill "$weston_pid" 2>/dev/null
wait "$weston_pid" 2>/dev/null
[ $rc -eq 0 ] && rm -rf "$workdir"
exit $rc
