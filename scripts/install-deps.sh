#!/usr/bin/env bash
# Installs the Debian packages Kalvora needs. Only missing packages are installed; `apt-get update`
# runs at most once.
#   scripts/install-deps.sh            building and running the program (scripts/run.sh)
#   scripts/install-deps.sh --package  the above, and building its Debian package (scripts/package.sh)
#   scripts/install-deps.sh --tests    all of the above, and the test suite's and benchmarks' tools
#                                      (scripts/test.sh)
set -euo pipefail

# Building the program and running it: nothing else lands on a user's machine.
build_and_run=(
  # compilers and build tools
  cmake g++ make pkg-config ninja-build
  # the libraries the program links
  qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev
  librtmidi-dev libasound2-dev libjack-jackd2-dev libfluidsynth-dev libpipewire-0.3-dev
  # what the running program loads beside them: Qt's display plugins (X11, and Wayland for a
  # Wayland desktop), the window's font, the built-in synth's SoundFonts
  qt6-qpa-plugins qt6-wayland fonts-ipafont-gothic fluid-soundfont-gm fluid-soundfont-gs
  csound-soundfont
)

# The Debian package: the icons rendered from their SVG, cpack's dpkg tools.
package=(
  dpkg-dev fakeroot file librsvg2-bin
)

# The test suite and the benchmarks, one purpose a line.
tests=(
  # the unit and window suites, the benchmarks, the naming and format checks, the tone table's generator
  libgtest-dev libgmock-dev libbenchmark-dev libqt6test6 clang-tidy clang-format python3
  # reading back the MIDI files the program saves, with a reader of its own (Debian's python3),
  # and checking the exported instrument files are well-formed XML
  python3-mido libxml2-utils
  # the fuzzer
  clang libclang-rt-14-dev
  # private JACK servers as the program's devices and MIDI inputs
  jackd2
  # a display of its own, a window manager, driving and photographing the window
  xvfb xauth xdotool imagemagick x11-utils openbox
  # the program as a Wayland client: a headless compositor, and a tool that types on the
  # compositor's virtual keyboard
  sway jq libwayland-dev libxkbcommon-dev xkb-data
  # private sound servers with a null sink, for the built-in synth's tests and benchmarks:
  # PulseAudio, and PipeWire with its session manager and PulseAudio server (these two live side
  # by side; the test servers run on sockets of their own)
  pulseaudio pulseaudio-utils libpulse-dev pipewire pipewire-bin wireplumber pipewire-pulse
  # the ALSA sequencer tests, in a qemu guest running Debian's kernel
  qemu-system-x86 linux-image-amd64 busybox-static cpio alsa-utils
  # the session bus of the start-up benchmark and of the PipeWire test server, and jack-keyboard,
  # the virtual keyboard the JACK idle figures are set beside
  dbus-daemon jack-keyboard
  # linting the Debian package
  lintian appstream desktop-file-utils
)

packages=("${build_and_run[@]}")
case "${1:-}" in
  '') ;;
  --package) packages+=("${package[@]}") ;;
  --tests) packages+=("${package[@]}" "${tests[@]}") ;;
  *)
    echo "usage: $0 [--package | --tests]" >&2
    exit 2
    ;;
esac

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
# On a machine that does not boot from /boot (a container, a CI runner), the kernel package is
# there only for the guest tests, which boot it with an initramfs of their own: building the
# distribution's (twice, over two minutes) is skipped. A machine with a kernel of its own in
# /boot gets its initramfs as always.
initrd=
if ! compgen -G '/boot/vmlinuz-*' >/dev/null; then initrd=No; fi
$sudo apt-get update -qq
$sudo env INITRD="$initrd" apt-get install -y -qq --no-install-recommends "${missing[@]}"
