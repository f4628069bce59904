#!/usr/bin/env bash
# CPU the running app uses while the reading is paused: starts Orvell on a
# virtual X server, plays and pauses with its shortcut, then reads the
# process's CPU time over an idle stretch. Prints the figure.
set -euo pipefail
orvell=${1:-build-release/Orvell/orvell}
seconds=${2:-20}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1512x982x24 -nolisten tcp" bash -c "
  $orvell & pid=\$!
  sleep 2
  xdotool key ctrl+alt+super+space; sleep 2; xdotool key ctrl+alt+super+space; sleep 1
  ticks() { awk '{print \$14 + \$15}' /proc/\$pid/stat; }
  hz=\$(getconf CLK_TCK)
  before=\$(ticks); sleep $seconds; after=\$(ticks)
  echo \"paused for $seconds s: \$((after - before)) CPU ticks of 1/\$hz s\"
  awk -v t=\$((after - before)) -v hz=\$hz -v s=$seconds 'BEGIN { printf \"CPU while paused: %.3f %%\\n\", 100 * t / hz / s }'
  kill \$pid
"
