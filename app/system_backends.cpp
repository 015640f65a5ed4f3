#include "app/system_backends.h"

#include "catalogue/preset_names.h"
#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/jack/jack_input.h"
#include "midi/backends/rtmidi/rtmidi_backend.h"
#include "midi/backends/rtmidi/sequencer_input.h"
#include "midi/midi_backend.h"

namespace kalvora {

FluidSynthOptions ProgramSynthOptions() {
  FluidSynthOptions options;
  options.fillerCheck = PresetFitsToneSlot;
  return options;
}

void InstallSystemMidiBackends() {
  MidiBackends backends;
  backends.push_back(std::make_unique<FluidSynthBackend>(ProgramSynthOptions()));
  backends.push_back(std::make_unique<RtMidiBackend>());
  backends.push_back(std::make_unique<JackBackend>("Kalvora", JackBackend::Connect::kAhead));
  InstallMidiBackends(std::move(backends));
}

MidiInputPorts StartSystemMidiInputs() {
  MidiInputPorts inputs;
  inputs.push_back(std::make_unique<SequencerInput>());
  inputs.push_back(std::make_unique<JackInput>());
  return inputs;
}

}  // namespace kalvora
