// JACK MIDI output through libjack: lists the MIDI input ports of the running server and
// opens one of them. Never starts a server and never prints.
#pragma once

#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace kalvora {

class JackBackend final : public MidiBackend {
 public:
  // clientName: how our clients appear in the JACK graph. Silences libjack's own messages
  // and keeps it (and anything else in the process) from starting a server.
  explicit JackBackend(std::string clientName = "Kalvora");

  // The MIDI input ports of the server named by JACK_DEFAULT_SERVER (or the default one), as
  // "client:port"; empty when no server runs.
  std::vector<std::string> portNames() override;
  // 2 for a number outside the last list, 6 when the server or the port has gone.
  OpenResult open(std::size_t port) override;

 private:
  std::string clientName_;
  std::vector<std::string> ports_;
};

}  // namespace kalvora
