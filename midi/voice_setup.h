// The seven messages that set the voice on channel 1 before a note (pan to program change), and
// what was last sent of them, so MIDI input can tell when a device needs them again.
#pragma once

#include <array>
#include <cstdint>

#include "midi/short_message.h"

namespace kalvora {

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
