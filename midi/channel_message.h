// A channel message as the output port takes it, composed in one place: the kind of message and
// the channel make the status byte, the data bytes follow.
#pragma once

#include <cstdint>

#include "midi/midi_bytes.h"
#include "midi/short_message.h"

namespace kalvora {

// kind is a status byte's upper nibble (kNoteOn, kControlChange, ...), channel 0..15 its lower;
// a message with one data byte leaves data2 at 0.
constexpr std::uint32_t PackChannelMessage(std::uint8_t kind, std::uint8_t channel,
                                           std::int32_t data1, std::int32_t data2 = 0) {
  return PackShortMessage(static_cast<std::uint32_t>(kind | (channel & kChannelMask)), data1,
                          data2);
}

}  // namespace kalvora
