// The program's JACK MIDI input: a port named "in" on the program's JACK client, which a
// keyboard is connected to. It reaches the server on a thread of its own, so the window never
// waits for it, and never starts a server. What arrives is posted to the MIDI input inbox.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "midi/backends/jack/jack_client.h"
#include "midi/input/input_inbox.h"

namespace kalvora {

class JackInput final : public MidiInputPort {
 public:
  explicit JackInput(std::shared_ptr<JackClient> client);
  // Takes the port away, waiting on the server: StopMidiInputs bounds it.
  ~JackInput() override;
  JackInput(const JackInput&) = delete;
  JackInput& operator=(const JackInput&) = delete;

  // Waits, at most limit, until the port takes input or will never; its full name then, or ""
  // (no server, or still connecting).
  std::string waitForPort(std::chrono::milliseconds limit) const;

 private:
  std::shared_ptr<JackClient> client_;
};

}  // namespace kalvora
