#include "app/system_backends.h"

#include "midi/midi_backend.h"

namespace kalvora {

void InstallSystemMidiBackends() {
  MidiBackends backends;
  InstallMidiBackends(std::move(backends));
}

}  // namespace kalvora
