// One open JACK MIDI output: an output port on the program's JACK client wired to the chosen
// input port, fed from the window's thread through a lock-free ring.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "midi/backends/jack/jack_client.h"
#include "midi/message_ring.h"
#include "midi/midi_backend.h"

namespace kalvora {

class JackConnection final : public MidiConnection, private JackOutputFeed {
 public:
  // Connects an output on client to target, a full port name; waits on the server, so the
  // caller bounds it. Never starts a server.
  static OpenResult open(std::shared_ptr<JackClient> client, const std::string& target);

  ~JackConnection() override;
  JackConnection(const JackConnection&) = delete;
  JackConnection& operator=(const JackConnection&) = delete;

  // Queue the message for the next audio cycle; dropped when the ring has no room for it (see
  // message_urgency.h) or the server has gone, so the caller never waits.
  bool sendShort(std::span<const std::uint8_t> bytes) override;
  void sendLong(std::span<const std::uint8_t> bytes) override;

 private:
  explicit JackConnection(std::shared_ptr<JackClient> client);
  bool send(std::span<const std::uint8_t> bytes) noexcept;
  void drainBeforeClose() noexcept;
  // Audio thread: ring to port buffer.
  void deliver(jack_port_t* port, jack_nframes_t frames) noexcept override;
  void deliverToPort(jack_port_t* port, jack_nframes_t frames) noexcept;

  MessageRing ring_;
  std::shared_ptr<JackClient> client_;
  JackClient::Output output_;
  bool attached_ = false;
  std::atomic<bool> wired_{false};  // set by the audio thread once the graph has the connection
  std::atomic<std::uint64_t> cycles_{0};     // audio cycles ended
  std::atomic<std::uint64_t> settledAt_{0};  // cycles_ from which all taken so far has left
};

}  // namespace kalvora
