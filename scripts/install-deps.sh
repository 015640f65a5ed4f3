#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Kalvora need.
# Only missing packages are installed; `apt-get update` runs at most once.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  librtmidi-dev libjack-jackd2-dev libfluidsynth-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run
  fonts-ipafont-gothic fluid-soundfont-gm fluid-soundfont-gs csound-soundfont
  qt6-qpa-plugins libqt6test6
  # tests and screenshots
  jackd2 xvfb xauth xdotool imagemagick x11-utils openbox libx11-dev clang libclang-rt-14-dev
  # the program as a Wayland client: a headless compositor, Qt's Wayland platform, and a tool
  # that types on the compositor's virtual keyboard
  sway qt6-wayland jq libwayland-dev libxkbcommon-dev xkb-data
  # a private sound server with a null sink, for the built-in synth's tests and benchmarks
  pulseaudio pulseaudio-utils libpulse-dev
  # the ALSA sequencer tests, in a qemu guest running Debian's kernel
  qemu-system-x86 linux-image-amd64 busybox-static cpio alsa-utils libasound2-dev
  # benchmarks (jack-keyboard: the virtual keyboard the JACK idle figures are set beside)
  dbus-daemon jack-keyboard
  # the Debian package, its metadata and its icons
  dpkg-dev fakeroot file lintian appstream desktop-file-utils librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi

export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable realtime limits; answer it up front so the install never stops.
echo 'jackd2 jackd/tweak_rt_limits boolean false' | $sudo debconf-set-selections
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
