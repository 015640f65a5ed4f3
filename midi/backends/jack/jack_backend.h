// JACK MIDI output through libjack: lists the MIDI input ports of the running server and
// opens one of them, on the program's JACK client. Never starts a server and never prints.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "midi/backends/jack/jack_client.h"
#include "midi/midi_backend.h"

namespace kalvora {

// How long an open waits: a live server on a busy machine answers well within it; a stopped one
// holds the window no longer.
inline constexpr std::chrono::milliseconds kJackOpenLimit{2000};

class JackBackend final : public MidiBackend {
 public:
  // On client, shared with the MIDI input.
  explicit JackBackend(std::shared_ptr<JackClient> client);
  // On a client of its own named clientName (JACK makes it unique).
  explicit JackBackend(std::string clientName = "Kalvora");
  // Lets go of the client without waiting on a server that does not answer.
  ~JackBackend() override;
  JackBackend(const JackBackend&) = delete;
  JackBackend& operator=(const JackBackend&) = delete;

  // The MIDI input ports of the server named by JACK_DEFAULT_SERVER (or the default one), as
  // "client:port", our own left out; empty when no server answers.
  std::vector<std::string> portNames() override;
  // kBadDevice for a number outside the last list, kNoDriver when the server or the port has
  // gone, kFailed when the server did not answer in time.
  OpenResult open(std::size_t port) override;
  // A server that has gone is reached again in the background (the input's own keeper does so
  // too, without waiting for a switch).
  void afterOpen() override;

 private:
  std::shared_ptr<JackClient> client_;
  std::vector<std::string> ports_;
};

}  // namespace kalvora
