#!/usr/bin/env bash
# Runs a program inside a private desktop: Xvfb, openbox, a tint2 panel with a tray and a
# taskbar, a dunst notification daemon and a private D-Bus session. Everything started
# here is ended when the program ends.
set -u
program="$1"
shift

workdir=$(mktemp -d /tmp/songdeck-gui.XXXXXX)
# Xvfb picks a free display itself and names it on fd 3: two sessions started at once must
# not share one server.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$workdir/display" ] && break
    sleep 0.05
done
display=":$(head -n1 "$workdir/display")"
export DISPLAY="$display"
for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
done

cat >"$workdir/tint2rc" <<'TINT'
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 30
systray_icon_size = 22
TINT

inner="$workdir/inner.sh"
cat >"$inner" <<INNER
#!/usr/bin/env bash
openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
tint2 -c "$workdir/tint2rc" >"$workdir/tint2.log" 2>&1 &
dunst >"$workdir/dunst.log" 2>&1 &
# Wait for the window manager, then for the panel's strut to shrink the work area.
for _ in \$(seq 1 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
        ! xprop -root _NET_WORKAREA 2>/dev/null | grep -q ', 1280, 800' && break
    sleep 0.05
done
"\$@"
rc=\$?
kill %1 %2 %3 2>/dev/null
exit \$rc
INNER
chmod +x "$inner"

export SONGDECK_GUI_WORKDIR="$workdir"
dbus-run-session -- "$inner" "$program" "$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
[ $rc -eq 0 ] && rm -rf "$workdir"
exit $rc
