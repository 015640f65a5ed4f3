// Prints the MIDI output devices as the program numbers and names them (the same backends, the
// same port layer, the names cut as the window shows them), one "NUMBER<TAB>NAME" line each.
// Meanwhile this process holds a writable sequencer port of its own, "Kalvora:in", as the
// program does when it takes MIDI in: that port must not be offered as an output.
#include <alsa/asoundlib.h>

#include <cstdio>

#include "app/system_backends.h"
#include "midi/midi_backend.h"
#include "midi/midi_out.h"

int main() {
  snd_seq_t* input = nullptr;
  if (snd_seq_open(&input, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0 ||
      snd_seq_set_client_name(input, "Kalvora") < 0 ||
      snd_seq_create_simple_port(input, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION) <
          0) {
    std::fprintf(stderr, "device_list: cannot make the input port\n");
    return 1;
  }
  kalvora::InstallSystemMidiBackends();
  const std::uint32_t count = midiOutGetNumDevs();
  for (std::uint32_t device = 0; device < count; ++device) {
    MIDIOUTCAPSA caps;
    if (midiOutGetDevCapsA(device, &caps, sizeof caps) != MMSYSERR_NOERROR) return 1;
    std::printf("%u\t%s\n", device, caps.szPname);
  }
  kalvora::InstallMidiBackends({});
  snd_seq_close(input);
  return 0;
}
