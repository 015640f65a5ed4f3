// MIDI output through RtMidi: the ALSA sequencer on Linux, the system MIDI API elsewhere.
// (JACK is served by JackBackend, never by RtMidi.)
#pragma once

#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace kalvora {

class RtMidiBackend final : public MidiBackend {
 public:
  // clientName: how our sequencer clients are listed to other programs.
  explicit RtMidiBackend(std::string clientName = "Kalvora");

  // The writable ports of other clients; empty when there is no sequencer. Nothing is printed
  // even when the MIDI library fails.
  std::vector<std::string> portNames() override;
  // kBadDevice for a number outside the last list, kInUse when another program holds the port
  // for itself, kNoDriver when the sequencer or the port has gone, kNoMemory when out of
  // memory, kFailed for any other failure.
  OpenResult open(std::size_t port) override;

 private:
  std::string clientName_;
  std::vector<std::string> rawNames_;  // the library's own names, which carry the address
};

}  // namespace kalvora
