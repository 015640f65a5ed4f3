// A JACK client made by the test: one MIDI input port that records every message it receives,
// in order, without locks or allocation on the audio thread.
#pragma once

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvora::test {

using Message = std::vector<std::uint8_t>;

class JackMidiReceiver {
 public:
  JackMidiReceiver() = default;
  ~JackMidiReceiver();
  JackMidiReceiver(const JackMidiReceiver&) = delete;
  JackMidiReceiver& operator=(const JackMidiReceiver&) = delete;

  // Opens client "receiver-<pid>" with input "in" on the default server.
  ::testing::AssertionResult open();
  void close();

  // The full name of the input port, as other clients see it.
  std::string portName() const;
  // Waits (bounded) until at least `count` bytes have arrived; returns every message so far.
  // meanwhile, when given, runs between the looks (a test's event loop, say).
  std::vector<Message> waitForBytes(std::size_t count,
                                    const std::function<void()>& meanwhile = {}) const;
  // The same, until done(the last message) holds.
  std::vector<Message> waitForLast(const std::function<bool(const Message&)>& done,
                                   const std::function<void()>& meanwhile = {}) const;
  std::vector<Message> messages() const;
  // Waits (bounded) until nothing is wired to the input; false when something still is.
  bool waitUntilUnwired() const;

 private:
  static int process(jack_nframes_t frames, void* self) noexcept;
  // Waits (bounded) until done(the number of messages so far, at least one) holds.
  std::vector<Message> waitUntil(const std::function<bool(std::size_t)>& done,
                                 const std::function<void()>& meanwhile) const;

  static constexpr std::size_t kMaxBytes = 1 << 20;
  static constexpr std::size_t kMaxMessages = 1 << 16;

  jack_client_t* client_ = nullptr;
  jack_port_t* port_ = nullptr;
  std::vector<std::uint8_t> bytes_ = std::vector<std::uint8_t>(kMaxBytes);
  std::vector<std::size_t> ends_ = std::vector<std::size_t>(kMaxMessages);
  std::atomic<std::size_t> byteCount_{0};
  std::atomic<std::size_t> messageCount_{0};
  std::atomic<bool> overflowed_{false};
};

}  // namespace kalvora::test
