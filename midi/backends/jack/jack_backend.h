// JACK MIDI output through libjack: lists the MIDI input ports of the running server and
// opens one of them. Never starts a server and never prints.
#pragma once

#include <jack/jack.h>

#include <future>
#include <string>
#include <vector>

#include "midi/midi_backend.h"

namespace kalvora {

class JackBackend final : public MidiBackend {
 public:
  // When the backend first reaches the server: at the first listing, or at once on a thread of
  // its own, so that the 15 to 30 ms libjack takes to connect pass while the program starts.
  enum class Connect { kOnFirstListing, kAhead };

  // clientName: how our clients appear in the JACK graph. Silences libjack's own messages
  // and keeps it (and anything else in the process) from starting a server.
  explicit JackBackend(std::string clientName = "Kalvora",
                       Connect connect = Connect::kOnFirstListing);
  ~JackBackend() override;
  JackBackend(const JackBackend&) = delete;
  JackBackend& operator=(const JackBackend&) = delete;

  // The MIDI input ports of the server named by JACK_DEFAULT_SERVER (or the default one), as
  // "client:port"; empty when no server runs. The client that listed is kept for the next open.
  std::vector<std::string> portNames() override;
  // kBadDevice for a number outside the last list, kNoDriver when the server or the port has
  // gone.
  OpenResult open(std::size_t port) override;
  void releaseListing() override;

 private:
  std::string clientName_;
  std::vector<std::string> ports_;
  std::future<jack_client_t*> ahead_;  // the connection made ahead, until a listing takes it
  jack_client_t* listing_ = nullptr;   // the last listing's client, until an open takes it
};

}  // namespace kalvora
