// The bytes of the MIDI wire protocol this program speaks: status bytes, the controllers it sends
// or silences with, system-exclusive framing, the channel count and the GS Reset message.
#pragma once

#include <array>
#include <cstdint>

namespace kalvora {

// A status byte has its top bit set; data bytes carry seven bits.
inline constexpr std::uint8_t kStatusBit = 0x80;
inline constexpr std::uint8_t kDataMask = 0x7F;
inline constexpr int kDataBits = 7;
// A channel message's kind is its upper nibble, its channel the lower one.
inline constexpr std::uint8_t kStatusKindMask = 0xF0;
inline constexpr std::uint8_t kChannelMask = 0x0F;
inline constexpr int kChannelCount = 16;
// The program plays on channel 1, which is channel number 0 in the status byte; the drum page
// plays the rhythm part, channel 10 after a GS Reset.
inline constexpr std::uint8_t kChannel1 = 0;
inline constexpr std::uint8_t kRhythmChannel = 9;

inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kKeyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;
inline constexpr std::uint8_t kSystemMessage = 0xF0;

inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr std::uint8_t kTimeCodeQuarterFrame = 0xF1;
inline constexpr std::uint8_t kSongPosition = 0xF2;
inline constexpr std::uint8_t kSongSelect = 0xF3;
inline constexpr std::uint8_t kSysExEnd = 0xF7;
inline constexpr std::uint8_t kSystemReset = 0xFF;

// How many data bytes follow a status byte: one or two for a channel message, by its kind, and
// for the system-common messages that carry any; none for the rest (tune request, the real-time
// bytes, and the system-exclusive framing, whose data runs on to its end byte).
constexpr int DataBytesAfter(std::uint8_t status) {
  if (status < kSystemMessage) {
    const std::uint8_t kind = status & kStatusKindMask;
    return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
  }
  switch (status) {
    case kTimeCodeQuarterFrame:
    case kSongSelect:
      return 1;
    case kSongPosition:
      return 2;
    default:
      return 0;
  }
}

inline constexpr std::uint8_t kControlBankMsb = 0x00;
inline constexpr std::uint8_t kControlModulation = 0x01;
inline constexpr std::uint8_t kControlPan = 0x0A;
inline constexpr std::uint8_t kControlExpression = 0x0B;
inline constexpr std::uint8_t kControlBankLsb = 0x20;
inline constexpr std::uint8_t kControlSustain = 0x40;
inline constexpr std::uint8_t kControlSostenuto = 0x42;
inline constexpr std::uint8_t kControlReverb = 0x5B;
inline constexpr std::uint8_t kControlChorus = 0x5D;
inline constexpr std::uint8_t kControlAllSoundOff = 0x78;
inline constexpr std::uint8_t kControlAllNotesOff = 0x7B;
// A pedal controller at this value or above holds the pedal down.
inline constexpr std::uint8_t kPedalDownFrom = 0x40;

// A note-on at velocity 0 ends its note just as a note-off does; any other note-on starts one.
constexpr bool EndsNote(std::uint8_t status, std::uint8_t velocity) {
  const std::uint8_t kind = status & kStatusKindMask;
  return kind == kNoteOff || (kind == kNoteOn && velocity == 0);
}
constexpr bool StartsNote(std::uint8_t status, std::uint8_t velocity) {
  return (status & kStatusKindMask) == kNoteOn && velocity != 0;
}

// A note-off's release velocity, the highest a data byte holds.
inline constexpr std::uint8_t kReleaseVelocity = 0x7F;

// How long a module is left after the GS Reset before anything else is sent.
inline constexpr int kGsResetSettleMs = 100;

}  // namespace kalvora

// GS Reset: data set 1 of 00 to address 40 00 7F on device 10, model 42, with its checksum. The
// device state points its long-message header at it; everything else that sends a reset reads it.
inline constexpr std::array<std::uint8_t, 11> GsResetMessage{
    kalvora::kSysExStart, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, kalvora::kSysExEnd};
