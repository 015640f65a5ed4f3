// One open JACK MIDI output: a client of its own with one output port wired to the chosen
// input port, fed from the window's thread through a lock-free ring.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <thread>

#include "midi/message_ring.h"
#include "midi/midi_backend.h"

namespace kalvora {

class JackConnection final : public MidiConnection {
 public:
  // Connects an output to target, a full port name, on client when given (the connection then
  // owns it, whatever the outcome), falling back to a client of its own named clientName (JACK
  // makes it unique) when that one fails, as it does once its server has gone. Returns once the
  // port is registered; activation and the connection follow on a thread of their own, and
  // what is sent before they are done waits for them. Never starts a server.
  static OpenResult open(const std::string& clientName, const std::string& target,
                         jack_client_t* client = nullptr);

  ~JackConnection() override;
  JackConnection(const JackConnection&) = delete;
  JackConnection& operator=(const JackConnection&) = delete;

  // Queue the message for the next audio cycle; dropped when the ring has no room for it (see
  // message_urgency.h), the server has gone or the port could not be wired, so the caller never
  // waits.
  bool sendShort(std::span<const std::uint8_t> bytes) override;
  void sendLong(std::span<const std::uint8_t> bytes) override;

 private:
  JackConnection();
  OpenStatus start(const std::string& clientName, const std::string& target, jack_client_t* client);
  OpenStatus prepare(const std::string& target);      // port and callbacks
  void activate(const std::string& target) noexcept;  // activation and connection
  void closeClient() noexcept;
  bool send(std::span<const std::uint8_t> bytes) noexcept;
  void drainBeforeClose() noexcept;
  void deliver(jack_nframes_t frames) noexcept;  // audio thread: ring to port buffer

  static int process(jack_nframes_t frames, void* self) noexcept;
  static void shutdown(jack_status_t code, const char* reason, void* self) noexcept;

  MessageRing ring_;
  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::thread activation_;
  bool active_ = false;  // set by activation_, read once it has ended
  bool wired_ = false;   // audio thread only: the connection has been seen in the graph
  std::atomic<bool> alive_{true};
  std::atomic<std::uint64_t> cycles_{0};     // audio cycles ended
  std::atomic<std::uint64_t> settledAt_{0};  // cycles_ from which all taken so far has left
};

}  // namespace kalvora
