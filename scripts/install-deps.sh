#!/usr/bin/env bash
# Installs the Debian packages Orvell needs to build, test and run.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config lld
  qt6-base-dev qt6-base-dev-tools
  libicu-dev libzip-dev libespeak-ng-dev espeak-ng libexttextcat-dev libexttextcat-data
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us flite1-dev
  qt6-multimedia-dev pulseaudio pulseaudio-utils
  fonts-inter fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxcb1-dev libxcb-shm0-dev libxcb-shape0-dev libxcb-keysyms1-dev libxcb-screensaver0-dev x11proto-dev
  qt6-qpa-plugins
  xvfb xauth xdotool openbox x11-utils
  dbus-daemon dbus-bin trayer at-spi2-core python3-pyatspi
  libglib2.0-bin gnome-settings-daemon-common python3-dbus python3-gi
  sway wev xwayland libwayland-dev libwayland-bin
  desktop-file-utils appstream
)

# `install-deps.sh fuzz` adds what the libFuzzer build needs, `package`
# what checks the .deb.
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = "package" ]; then
  packages+=(lintian)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "install-deps: missing packages (${missing[*]}); run as root or install them" >&2
    exit 1
  fi
else
  SUDO=
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
