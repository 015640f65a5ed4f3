// A JACK client made by the test: one MIDI output port, wired to a port of the test's choosing,
// that sends each given event (any bytes, even a message without its status) in the next cycle.
#pragma once

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kalvora::test {

class JackMidiSender {
 public:
  JackMidiSender() = default;
  ~JackMidiSender();
  JackMidiSender(const JackMidiSender&) = delete;
  JackMidiSender& operator=(const JackMidiSender&) = delete;

  // Opens client "sender-<pid>" with output "out" on the default server and connects it to target.
  ::testing::AssertionResult open(const std::string& target);
  void close();
  // Queues events, one JACK MIDI event each, in order.
  ::testing::AssertionResult send(const std::vector<std::vector<std::uint8_t>>& events);
  // Whether every queued event has gone out in a cycle.
  bool sent() const { return jack_ringbuffer_read_space(ring_) == 0; }

 private:
  static int process(jack_nframes_t frames, void* self) noexcept;

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  jack_ringbuffer_t* ring_ = nullptr;
};

}  // namespace kalvora::test
