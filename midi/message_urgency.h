// What a queue that fills under a flood of MIDI may thin, and what it must keep room for. The
// messages that end notes (a note-off, a pedal let go, all notes or all sound off, a reset) may
// fill the whole queue; ordinary ones (notes, program and bank, system-exclusive) leave its last
// quarter to them; pressure, pitch bend and the other controllers, where each value supersedes
// the one before, leave half. So a flood of those is thinned first, and never crowds out the end
// of a note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "midi/midi_bytes.h"

namespace kalvora {

enum class Urgency : std::uint8_t { kThinnable, kOrdinary, kEndsNotes };

constexpr Urgency ControllerUrgency(std::uint8_t controller, std::uint8_t value) {
  const bool pedal = controller == kControlSustain || controller == kControlSostenuto;
  // From all notes off up, the channel mode messages each end every note of the channel.
  if ((pedal && value < kPedalDownFrom) || controller == kControlAllSoundOff ||
      controller >= kControlAllNotesOff) {
    return Urgency::kEndsNotes;
  }
  // A bank select goes with the program change that follows it.
  if (controller == kControlBankMsb || controller == kControlBankLsb) return Urgency::kOrdinary;
  return Urgency::kThinnable;
}

// The urgency of one complete message.
constexpr Urgency UrgencyOf(std::span<const std::uint8_t> message) {
  if (message.empty()) return Urgency::kOrdinary;
  const std::uint8_t status = message[0];
  const std::uint8_t data1 = message.size() > 1 ? message[1] : 0;
  const std::uint8_t data2 = message.size() > 2 ? message[2] : 0;
  if (status == kSystemReset) return Urgency::kEndsNotes;
  if (status >= kSystemMessage) return Urgency::kOrdinary;
  if (EndsNote(status, data2)) return Urgency::kEndsNotes;
  switch (status & kStatusKindMask) {
    case kControlChange:
      return ControllerUrgency(data1, data2);
    case kKeyPressure:
    case kChannelPressure:
    case kPitchBend:
      return Urgency::kThinnable;
    default:
      return Urgency::kOrdinary;
  }
}

// How much of a queue of capacity (bytes or messages) a message of this urgency may fill.
constexpr std::size_t ShareOf(Urgency urgency, std::size_t capacity) {
  switch (urgency) {
    case Urgency::kThinnable:
      return capacity / 2;
    case Urgency::kOrdinary:
      return capacity - capacity / 4;
    case Urgency::kEndsNotes:
      break;
  }
  return capacity;
}

// Whether a queue of capacity with used taken has room for size more of this urgency.
constexpr bool HasRoomFor(Urgency urgency, std::size_t size, std::size_t used,
                          std::size_t capacity) {
  const std::size_t share = ShareOf(urgency, capacity);
  return used <= share && size <= share - used;
}

}  // namespace kalvora
