// The messages that set the voice before a note (pan to program change) on the channel a press
// plays on, and what was last sent of them on each channel, so MIDI input can tell when a device
// needs them again.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "midi/short_message.h"

namespace kalvora {

inline constexpr std::size_t kVoiceSetUpMessages = 7;

// Packed messages, at most kVoiceSetUpMessages; the rhythm part has no modulation.
class VoiceSetUp {
 public:
  constexpr void add(std::uint32_t message) { messages_[count_++] = message; }
  constexpr const std::uint32_t* begin() const { return messages_.data(); }
  constexpr const std::uint32_t* end() const { return messages_.data() + count_; }
  constexpr std::size_t size() const { return count_; }
  constexpr bool operator==(const VoiceSetUp&) const = default;

 private:
  std::array<std::uint32_t, kVoiceSetUpMessages> messages_{};
  std::size_t count_ = 0;
};

// From the voice state as it is now, on PlayChannel(): pan, modulation, reverb, chorus, bank MSB,
// bank LSB (the map) and program change on channel 1; on the rhythm channel pan, reverb, chorus,
// bank MSB 0, the map and the drum set's program change.
VoiceSetUp CurrentVoiceSetUp();
// The set-up a press on channel would send for program (the drum set's on the rhythm channel),
// bank and map, with the effect levels as they are now: what is copied, saved and exported.
VoiceSetUp VoiceSetUpFor(std::uint8_t channel, std::int32_t program, std::int32_t bank,
                         std::int32_t map);
// Sends the current set-up to MidiOut and remembers that this device has it on that channel.
void SendVoiceSetUp();
// Whether the set-up last sent to MidiOut on PlayChannel() is the current one, so a note needs no
// new set-up.
bool VoiceSetUpIsCurrent();

}  // namespace kalvora
