// The program's JACK MIDI input: a client with one input port that a keyboard is connected to.
// It reaches the server on a thread of its own, so the window never waits for it, and never
// starts a server. What arrives is posted to the MIDI input inbox.
#pragma once

#include <jack/jack.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "midi/input/input_inbox.h"

namespace kalvora {

inline constexpr const char* kJackInputClient = "Kalvora-in";

class JackInput final : public MidiInputPort {
 public:
  explicit JackInput(std::string clientName = kJackInputClient);
  ~JackInput() override;
  JackInput(const JackInput&) = delete;
  JackInput& operator=(const JackInput&) = delete;

  // Waits, at most limit, until the port takes input or will never; its full name then, or ""
  // (no server, or still connecting).
  std::string waitForPort(std::chrono::milliseconds limit) const;

 private:
  void connect() noexcept;
  static int process(jack_nframes_t frames, void* self) noexcept;

  std::string clientName_;
  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::thread connecting_;
  mutable std::mutex mutex_;
  mutable std::condition_variable settled_;
  bool done_ = false;     // the connecting thread has finished, with or without a port
  std::string portName_;  // set once the port takes input
};

// Whether portName is the input port of a JackInput of this process: the output list leaves it out.
bool IsOwnJackInput(const std::string& portName);

}  // namespace kalvora
