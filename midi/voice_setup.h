// The seven messages that set the voice on channel 1 before a note (pan to program change), and
// what was last sent of them, so MIDI input can tell when a device needs them again.
#pragma once

#include <array>
#include <cstdint>

namespace kalvora {

// Status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23.
constexpr std::uint32_t PackShortMessage(std::uint32_t status, std::int32_t data1,
                                         std::int32_t data2) {
  return status + static_cast<std::uint32_t>(data1) * 256 +
         static_cast<std::uint32_t>(data2) * 65536;
}

inline constexpr std::size_t kVoiceSetUpMessages = 7;
using VoiceSetUp = std::array<std::uint32_t, kVoiceSetUpMessages>;

// Pan, modulation, reverb, chorus, bank MSB, bank LSB (the map) and program change, packed, from
// the voice state as it is now.
VoiceSetUp CurrentVoiceSetUp();
// Sends the current set-up to MidiOut and remembers that this device has it.
void SendVoiceSetUp();
// Whether the set-up last sent to MidiOut is the current one, so a note needs no new set-up.
bool VoiceSetUpIsCurrent();

}  // namespace kalvora
