// A short message as the port takes it (midiOutShortMsg): status in bits 0-7, data 1 in bits
// 8-15, data 2 in bits 16-23. The press path packs it; the port layer unpacks it for its backend.
// A channel message's status byte is composed here and nowhere else.
#pragma once

#include <array>
#include <cstdint>

#include "midi/midi_bytes.h"

namespace kalvora {

constexpr std::uint32_t PackShortMessage(std::uint32_t status, std::int32_t data1,
                                         std::int32_t data2) {
  return status + static_cast<std::uint32_t>(data1) * 256 +
         static_cast<std::uint32_t>(data2) * 65536;
}

// kind is a status byte's upper nibble (kNoteOn, kControlChange, ...), channel 0..15 its lower.
constexpr std::uint8_t ChannelStatus(std::uint8_t kind, std::uint8_t channel) {
  return static_cast<std::uint8_t>(kind | (channel & kChannelMask));
}

// A channel message; one with one data byte leaves data2 at 0.
constexpr std::uint32_t PackChannelMessage(std::uint8_t kind, std::uint8_t channel,
                                           std::int32_t data1, std::int32_t data2 = 0) {
  return PackShortMessage(ChannelStatus(kind, channel), data1, data2);
}

// The three bytes again, the data bytes cut to seven bits.
constexpr std::array<std::uint8_t, 3> UnpackShortMessage(std::uint32_t message) {
  return {static_cast<std::uint8_t>(message & 0xFF),
          static_cast<std::uint8_t>((message >> 8) & kDataMask),
          static_cast<std::uint8_t>((message >> 16) & kDataMask)};
}

}  // namespace kalvora
