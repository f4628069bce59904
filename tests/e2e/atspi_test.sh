#!/bin/bash
# Orvell read by a real AT-SPI client (pyatspi) on a virtual X server, with
# the accessibility bus that at-spi2-core starts on a session bus of its own.
# usage: atspi_test.sh ORVELL
set -u
orvell=$1
here=$(cd "$(dirname "$0")" && pwd)
if ! /usr/bin/python3 -c "import pyatspi" 2>/dev/null || [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
  echo "SKIP: AT-SPI (at-spi2-core and python3-pyatspi) is not installed"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config"
printf '[General]\nWelcomed=true\nFirstPlayDone=true\n' > "$work/config/org.orvell.Orvell.conf"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data HOME=$work
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
# A private bus that activates nothing installed (no desktop portal answers);
# the accessibility bus is started on it by hand.
exec xvfb-run -a -s "-screen 0 1512x982x24 -nolisten tcp" \
  dbus-run-session --config-file="$here/session-bus.conf" -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately > "$1/a11y.log" 2>&1 &
  gdbus wait --session --timeout 10 org.a11y.Bus
  "$0" > "$1/orvell.log" 2>&1 &
  app=$!
  timeout 60 /usr/bin/python3 "$2/atspi_check.py"
  status=$?
  kill $app 2>/dev/null; wait $app 2>/dev/null
  [ $status -eq 0 ] || { echo "--- orvell log"; tail -20 "$1/orvell.log"; }
  exit $status' "$orvell" "$work" "$here"
