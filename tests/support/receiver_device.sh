# shellcheck shell=bash
# Sourced by the end-to-end test and the start-up benchmark: which device number the program
# gives the receiver's port on a private JACK server.
#
# The program numbers its devices: the built-in synth first, when it finds FluidR3_GM.sf2 or
# default-GM.sf2 in one of its SoundFont folders; then the ALSA sequencer's ports that take
# output (write and subscribe-write, shown as "W" in the kernel's client list); then the MIDI
# input ports of the JACK server. The private server holds one such port, the receiver's, so
# its number is the count of the devices before it. Without /dev/snd/seq there are no ALSA ports.

synth_devices() {
  local folder font
  for folder in /usr/share/sounds/sf2 /usr/share/soundfonts /usr/local/share/sounds/sf2 \
    /usr/local/share/soundfonts; do
    for font in FluidR3_GM.sf2 default-GM.sf2; do
      if [ -f "$folder/$font" ]; then
        echo 1
        return
      fi
    done
  done
  echo 0
}

# Fails (status 1) when a sequencer exists but its ports cannot be counted.
alsa_output_ports() {
  if [ ! -e /dev/snd/seq ]; then
    echo 0
  elif [ -r /proc/asound/seq/clients ]; then
    grep -cE '^ +Port +[0-9]+ : ".*" \(.W' /proc/asound/seq/clients || true
  else
    return 1
  fi
}
