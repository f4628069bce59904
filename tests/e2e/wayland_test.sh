#!/usr/bin/env bash
# Orvell on XWayland under a headless sway: the island hangs at the top of
# the screen, and a click beside the idle pill reaches the native Wayland
# window below it (the island's X window is no larger than what it draws).
# usage: wayland_test.sh ORVELL_BINARY VIRTUAL_CLICK_BINARY
set -euo pipefail
orvell=$1
click=$2

# sway will not run as root: as root, run as a user made for the test.
if [ "$(id -u)" -eq 0 ]; then
  user=orvell-wayland-test
  id "$user" >/dev/null 2>&1 || useradd --system --create-home --shell /bin/bash "$user"
  work=$(mktemp -d)
  chmod 755 "$work"
  install -m 755 "$orvell" "$work/orvell"
  install -m 755 "$click" "$work/virtual_click"
  install -m 755 "$0" "$work/wayland_test.sh"
  install -m 644 "$(dirname "$0")/session-bus.conf" "$work/session-bus.conf"
  status=0
  runuser -u "$user" -- env -i PATH="$PATH" bash "$work/wayland_test.sh" "$work/orvell" \
    "$work/virtual_click" || status=$?
  pkill -KILL -u "$user" 2>/dev/null || true
  rm -rf "$work"
  exit $status
fi

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Not the first start, which opens the island on the welcome script.
mkdir -p "$XDG_CONFIG_HOME" && printf '[General]\nWelcomed=true\n' > "$XDG_CONFIG_HOME/org.orvell.Orvell.conf"
cat > "$work/sway.conf" <<CONF
xwayland enable
output HEADLESS-1 resolution 1512x982 position 0 0
default_border none
focus_follows_mouse no
CONF
export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
# A session of its own, so everything started in it (wev spins once its
# compositor is gone) ends with it.
setsid sway -c "$work/sway.conf" > "$work/sway.log" 2>&1 &
sway_pid=$!
cleanup() {
  kill -TERM -- -"$sway_pid" 2>/dev/null || true
  sleep 0.5
  kill -KILL -- -"$sway_pid" 2>/dev/null || true
  wait "$sway_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; echo "--- sway log"; tail -20 "$work/sway.log"; echo "--- wev"; tail -15 "$work/wev.log" 2>/dev/null; exit 1; }
waitfor() { # seconds command...
  local n=$(( $1 * 10 )); shift
  for _ in $(seq "$n"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

waitfor 10 bash -c "ls $XDG_RUNTIME_DIR/sway-ipc.*" || fail "sway did not start"
export SWAYSOCK
SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.* | head -1)

# A native Wayland window filling the screen, logging what reaches it.
swaymsg exec "stdbuf -oL wev > $work/wev.log 2>&1" >/dev/null
waitfor 10 bash -c "swaymsg -t get_tree | grep -q '\"app_id\": \"wev\"'" || fail "wev did not map"

# Orvell on XWayland, with a session bus of its own.
# It activates nothing installed on the machine (a real portal would answer).
bus_conf=$(cd "$(dirname "$0")" && pwd)/session-bus.conf
swaymsg exec "dbus-run-session --config-file=$bus_conf -- $orvell > $work/orvell.log 2>&1" >/dev/null
island() { swaymsg exec "xwininfo -name 'Orvell Island' > $work/island.tmp 2>&1 && mv $work/island.tmp $work/island" >/dev/null; sleep 0.3; grep -q "Width" "$work/island" 2>/dev/null; }
waitfor 20 island || fail "the island did not appear: $(cat "$work/orvell.log" 2>/dev/null | tail -5)"
sleep 1
island
value() { grep "$1" "$work/island" | awk '{print $NF}'; }
x=$(value "Absolute upper-left X"); y=$(value "Absolute upper-left Y")
w=$(value "Width"); h=$(value "Height")
echo "island window: ${w}x${h}+${x}+${y}"
[ "$y" -eq 0 ] || fail "the island is at y=$y, not at the top"
[ "$w" -lt 260 ] && [ "$h" -lt 60 ] || fail "the idle island's window is ${w}x${h}, larger than the pill"

# Beside the pill, inside the 546x264 frame an island window used to cover.
# A headless sway has no pointer: a virtual one moves and clicks.
swaymsg exec "$click 600 100 1512 982 > $work/click.log 2>&1" >/dev/null
waitfor 10 grep -q "state: 1 (pressed)" "$work/wev.log" ||
  fail "the click beside the pill did not reach the window below $(cat "$work/click.log")"
# On the pill itself the click goes to X (it opens Orvell's controls), as
# every click inside an X window's rectangle does on XWayland: which is why
# that rectangle must be small.
presses=$(grep -c "state: 1 (pressed)" "$work/wev.log")
swaymsg exec "$click 756 8 1512 982 > $work/click.log 2>&1" >/dev/null
sleep 2
[ "$(grep -c "state: 1 (pressed)" "$work/wev.log")" -eq "$presses" ] ||
  fail "a click on the pill went through to the window below"
echo "PASS: a click beside the idle island reached the Wayland window below"
