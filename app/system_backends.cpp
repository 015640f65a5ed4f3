#include "app/system_backends.h"

#include <utility>

#include "midi/backends/jack/jack_backend.h"
#include "midi/backends/jack/jack_forked_listing.h"
#include "midi/backends/jack/jack_input.h"
#include "midi/backends/rtmidi/rtmidi_backend.h"
#include "midi/backends/rtmidi/sequencer_input.h"
#include "midi/midi_backend.h"

namespace kalvora {

std::shared_ptr<JackClient> InstallSystemMidiBackends() {
  // Connecting to JACK takes a while: it runs on while the program starts. The ports are listed
  // by a child forked now, before any thread of ours.
  std::shared_ptr<ForkedJackListing> listing = ForkedJackListing::start();
  std::shared_ptr<JackClient> jack = JackClient::create("Kalvora");
  jack->connectAndListAhead(std::move(listing));
  MidiBackends backends;
  backends.push_back(std::make_unique<FluidSynthBackend>(ProgramSynthOptions()));
  backends.push_back(std::make_unique<RtMidiBackend>());
  backends.push_back(std::make_unique<JackBackend>(jack));
  InstallMidiBackends(std::move(backends));
  return jack;
}

MidiInputPorts StartSystemMidiInputs(std::shared_ptr<JackClient> jack) {
  MidiInputPorts inputs;
  inputs.push_back(std::make_unique<SequencerInput>());
  inputs.push_back(std::make_unique<JackInput>(std::move(jack)));
  return inputs;
}

}  // namespace kalvora
