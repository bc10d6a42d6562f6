#!/usr/bin/env bash
# Runs a program inside a private desktop: Xvfb, openbox, a tint2 panel with a tray and a
# taskbar, a dunst notification daemon and a private D-Bus session that starts no service by
# activation (session-bus.conf), so installed desktop services stay out. Everything started
# here is ended when the program ends. Each piece is started again (a few times) when it does
# not come up, so a slow or busy machine does not fail the tests before they begin.
set -u
program="$1"
shift

workdir=$(mktemp -d /tmp/songdeck-gui.XXXXXX)
export SONGDECK_GUI_WORKDIR="$workdir"
# The client's folders (its log, config.ini, the autostart entry) stay inside the session.
export SONGDECK_LOCAL_APPDATA="$workdir/local"
export SONGDECK_COMMON_APPDATA="$workdir/common"
export XDG_CONFIG_HOME="$workdir/config"
# No accessibility bus is started on the private bus: GTK is told not to look for one.
export NO_AT_BRIDGE=1
# The screen's size in device pixels (a HiDPI run sets 2560x1600 with GDK_SCALE=2).
screen="${SONGDECK_GUI_SCREEN:-1280x800}"
# A GTK or GLib critical ends the program that meets it (the tests and the clients they start),
# so a new one fails the tests instead of scrolling past.
export G_DEBUG="${G_DEBUG:+$G_DEBUG,}fatal-criticals"

start_xvfb() {
    # Xvfb picks a free display itself and names it on fd 3: two sessions started at once
    # must not share one server.
    rm -f "$workdir/display"
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$workdir/display" >>"$workdir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 200); do
        [ -s "$workdir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.05
    done
    [ -s "$workdir/display" ] || return 1
    export DISPLAY=":$(head -n1 "$workdir/display")"
    for _ in $(seq 1 200); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

xvfb_pid=
for attempt in 1 2 3; do
    start_xvfb && break
    echo "session: Xvfb did not come up (attempt $attempt), see $workdir/xvfb.log" >&2
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
done
if [ -z "$xvfb_pid" ]; then
    exit 1
fi

cat >"$workdir/tint2rc" <<'TINT'
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 30
systray_icon_size = 22
TINT

inner="$workdir/inner.sh"
cat >"$inner" <<INNER
#!/usr/bin/env bash
pids=()
wm_running() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}
for attempt in 1 2 3; do
    openbox --sm-disable >>"$workdir/openbox.log" 2>&1 &
    wm=\$!
    for _ in \$(seq 1 100); do
        wm_running && break
        kill -0 \$wm 2>/dev/null || break
        sleep 0.05
    done
    wm_running && break
    echo "session: openbox did not come up (attempt \$attempt)" >&2
    kill \$wm 2>/dev/null
done
pids+=(\$wm)
tint2 -c "$workdir/tint2rc" >>"$workdir/tint2.log" 2>&1 &
pids+=(\$!)
for attempt in 1 2 3; do
    dunst >>"$workdir/dunst.log" 2>&1 &
    notifier=\$!
    sleep 0.2
    kill -0 \$notifier 2>/dev/null && break
done
pids+=(\$notifier)
# Wait for the panel's strut to shrink the work area.
for _ in \$(seq 1 200); do
    ! xprop -root _NET_WORKAREA 2>/dev/null | grep -q ', ${screen%x*}, ${screen#*x}' && break
    sleep 0.05
done
"\$@"
rc=\$?
kill "\${pids[@]}" 2>/dev/null
wait "\${pids[@]}" 2>/dev/null
exit \$rc
INNER
chmod +x "$inner"

dbus-run-session --config-file="$(dirname "$0")/session-bus.conf" -- "$inner" "$program" "$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
[ $rc -eq 0 ] && rm -rf "$workdir"
exit $rc
