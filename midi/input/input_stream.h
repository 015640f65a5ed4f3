// Turns the bytes of one MIDI input into complete channel messages, the way a receiver on a MIDI
// cable does: running status, real-time bytes anywhere, system-exclusive and system-common
// messages skipped, and whatever cannot be read (a data byte without a status, a message cut
// short by the next status) dropped without losing step.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "midi/midi_bytes.h"

namespace kalvora {

struct ChannelMessage {
  std::uint8_t status = 0;  // 0x80..0xEF
  std::uint8_t data1 = 0;
  std::uint8_t data2 = 0;  // 0 for the two-byte messages

  // Its length on the wire.
  std::size_t size() const { return 1 + static_cast<std::size_t>(DataBytesAfter(status)); }
  std::uint8_t kind() const { return status & kStatusKindMask; }
  std::uint8_t channel() const { return status & kChannelMask; }
  bool endsNote() const { return EndsNote(status, data2); }
  bool startsNote() const { return StartsNote(status, data2); }
};

class InputStream {
 public:
  // Calls onMessage(ChannelMessage) for every channel message completed by bytes. What is left
  // unfinished waits for the next bytes of this input.
  template <typename OnMessage>
  void feed(std::span<const std::uint8_t> bytes, OnMessage&& onMessage) {
    for (const std::uint8_t byte : bytes) {
      if (take(byte)) onMessage(message_);
    }
  }

 private:
  // True when byte completes a channel message, which is then in message_.
  bool take(std::uint8_t byte) noexcept;

  std::uint8_t status_ = 0;  // the running status, or a system-common message being skipped
  std::uint8_t needed_ = 0;  // data bytes that status_ takes
  std::uint8_t count_ = 0;   // data bytes taken so far
  std::array<std::uint8_t, 2> data_{};
  bool inSysEx_ = false;
  ChannelMessage message_;
};

}  // namespace kalvora
