// A short message as the port takes it (midiOutShortMsg): status in bits 0-7, data 1 in bits
// 8-15, data 2 in bits 16-23. The press path packs it; the port layer unpacks it for its backend.
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

// The three bytes again, the data bytes cut to seven bits.
constexpr std::array<std::uint8_t, 3> UnpackShortMessage(std::uint32_t message) {
  return {static_cast<std::uint8_t>(message & 0xFF),
          static_cast<std::uint8_t>((message >> 8) & kDataMask),
          static_cast<std::uint8_t>((message >> 16) & kDataMask)};
}

}  // namespace kalvora
