#!/usr/bin/env bash
# What the island costs while it scrolls: starts Orvell (optimised build) on
# a virtual X server with a 2,000-word script, plays it for a stretch in each
# mode and prints the CPU the app and the X server used, as a share of one
# core, and the frames the island's clock produced.
# usage: bench/scroll_cpu.sh [ORVELL_DIR] [SECONDS] [SCALE]
set -euo pipefail
dir=${1:-build-release}
seconds=${2:-30}
scale=${3:-1}
orvell=$dir/Orvell/orvell
cli=$dir/Tools/orvell-cli
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=xcb
if [ "$scale" = 1 ]; then screen=1920x1080x24; else screen=3840x2160x24; export QT_SCALE_FACTOR=$scale; fi

# 2,000 words of plain prose, the script the island reads.
python3 - "$home/talk.txt" <<'PY'
import random, sys
random.seed(7)
words = ("the team will bring the new plan to every office this spring and we "
         "expect the first results before summer so thank you all for the work").split()
out = []
for i in range(2000):
    out.append(random.choice(words))
    if i % 14 == 13: out[-1] += "."
print(" ".join(out), file=open(sys.argv[1], "w"))
PY
"$cli" import "$home/talk.txt" >/dev/null
mkdir -p "$home/config"

dbus-run-session -- xvfb-run -a -s "-screen 0 $screen -nolisten tcp" bash -c "
  export QT_LOGGING_RULES='org.orvell.Orvell.FrameClock.debug=true'
  $orvell 2> $home/orvell.log & pid=\$!
  sleep 3
  xpid=\$(pgrep -n Xvfb)
  hz=\$(getconf CLK_TCK)
  ticks() { awk '{print \$14 + \$15}' /proc/\$1/stat; }
  $cli library list >/dev/null
  measure() { # name
    local a0 x0 a1 x1
    a0=\$(ticks \$pid); x0=\$(ticks \$xpid)
    sleep $seconds
    a1=\$(ticks \$pid); x1=\$(ticks \$xpid)
    awk -v n=\"\$1\" -v a=\$((a1 - a0)) -v x=\$((x1 - x0)) -v hz=\$hz -v s=$seconds \
      'BEGIN { printf \"%-22s app %5.2f %%   X server %5.2f %%\n\", n, 100*a/hz/s, 100*x/hz/s }'
  }
  $cli send playPause >/dev/null; sleep 2
  measure 'playing, fixed speed'
  $cli send playPause >/dev/null; sleep 1
  measure 'paused'
  # The pace guide, switched on in the settings file as another program would.
  conf=$home/config/org.orvell.Orvell.conf
  if grep -q '^\[General\]' \$conf 2>/dev/null; then
    sed -i 's/^\[General\]/[General]\nPaceGuideEnabled=true/' \$conf
  else
    printf '[General]\nPaceGuideEnabled=true\n' >> \$conf
  fi
  sleep 2
  $cli send restart >/dev/null; $cli send playPause >/dev/null; sleep 3
  measure 'playing, pace guide'
  kill \$pid; wait \$pid 2>/dev/null || true
"
grep -h "frames" "$home/orvell.log" | tail -3 || true
