#!/usr/bin/env bash
# What the island costs while it scrolls: starts Orvell (optimised build) on
# a virtual X server with a 2,000-word script, plays it for a stretch in each
# mode (fixed speed, paused, the pace guide, voice follow listening to an
# espeak-ng reading through a PulseAudio source of its own) and prints the
# CPU the app and the X server used, as a share of one core, and the frames
# the island's clock produced. The recogniser's thread is counted apart.
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

# A microphone that hears the script read aloud, in real time.
espeak-ng -v en-us -w "$home/talk.wav" -f "$home/talk.txt"
cat > "$home/pulse.pa" <<PA
load-module module-native-protocol-unix socket=$home/pulse.socket auth-anonymous=1
load-module module-pipe-source source_name=reading file=$home/mic.fifo format=s16le rate=22050 channels=1
load-module module-null-sink
set-default-source reading
PA
HOME=$home XDG_RUNTIME_DIR=$home pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disallow-exit --log-level=error -F "$home/pulse.pa" &
pulse=$!
trap 'kill $pulse $speaker 2>/dev/null; rm -rf "$home"' EXIT
# The source makes its pipe; it is written once the server is up. The
# speaker starts reading from the top when voice follow starts (when
# $home/speak appears), as a person would, and speaks in real time from then
# on: the pipe holds only a second or two while nobody listens, and speech
# that could not be written then is not rushed out afterwards.
for _ in $(seq 50); do [ -S "$home/pulse.socket" ] && break; sleep 0.1; done
python3 - "$home/talk.wav" "$home/mic.fifo" "$home/speak" <<'PY' &
import os, sys, time, wave
w = wave.open(sys.argv[1]); frames = w.readframes(w.getnframes()); rate = w.getframerate()
chunk = rate // 10 * 2
with open(sys.argv[2], "wb", buffering=0) as out:
    while not os.path.exists(sys.argv[3]):
        time.sleep(0.1)
    start = time.monotonic(); sent = 0
    while True:
        for at in range(0, len(frames), chunk):
            out.write(frames[at:at + chunk]); sent += 1
            now = time.monotonic()
            if now > start + sent / 10 + 0.2:
                start = now - sent / 10
            time.sleep(max(0.0, start + sent / 10 - now))
PY
speaker=$!
export PULSE_SERVER=unix:$home/pulse.socket

dbus-run-session -- xvfb-run -a -s "-screen 0 $screen -nolisten tcp" bash -c "
  export QT_LOGGING_RULES='org.orvell.Orvell.FrameClock.debug=true'
  $orvell 2> $home/orvell.log & pid=\$!
  sleep 3
  xpid=\$(pgrep -n Xvfb)
  hz=\$(getconf CLK_TCK)
  ticks() { awk '{print \$14 + \$15}' /proc/\$1/stat; }
  # The recogniser's thread, named by the app; 0 while it does not exist.
  speech() {
    local t=0
    for task in /proc/\$pid/task/*; do
      [ \"\$(cat \$task/comm 2>/dev/null)\" = orvell-speech ] && t=\$((t + \$(awk '{print \$14 + \$15}' \$task/stat)))
    done
    echo \$t
  }
  $cli library list >/dev/null
  measure() { # name
    local a0 x0 r0 a1 x1 r1
    a0=\$(ticks \$pid); x0=\$(ticks \$xpid); r0=\$(speech)
    sleep $seconds
    a1=\$(ticks \$pid); x1=\$(ticks \$xpid); r1=\$(speech)
    awk -v n=\"\$1\" -v a=\$((a1 - a0 - (r1 - r0))) -v x=\$((x1 - x0)) -v r=\$((r1 - r0)) \
      -v hz=\$hz -v s=$seconds 'BEGIN {
        printf \"%-26s app %5.2f %%   X server %5.2f %%\", n, 100*a/hz/s, 100*x/hz/s
        if (r > 0) printf \"   recogniser %5.2f %%\", 100*r/hz/s
        printf \"\\n\" }'
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
  $cli send playPause >/dev/null
  sed -i 's/^PaceGuideEnabled=true/PaceGuideEnabled=false\nVoiceFollowEnabled=true/' \$conf
  sleep 2
  $cli send restart >/dev/null; touch $home/speak; $cli send playPause >/dev/null; sleep 3
  measure 'playing, voice follow'
  kill \$pid; wait \$pid 2>/dev/null || true
"
grep -h "frames" "$home/orvell.log" | tail -4 || true
