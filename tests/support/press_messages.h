// The messages a press sends, for suites and benchmarks that drive a device without the window:
// pan, modulation, reverb, chorus, bank MSB, bank LSB (the map), program change and note-on, all
// on channel 1; and the release's note-off.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "midi/midi_bytes.h"
#include "midi/voice_state.h"

namespace kalvora::test {

struct Voice {
  int program = kStartProgram;  // counted from 1, as the window shows it
  int bank = kStartBank;
  int map = kMapSc8850;
  int note = kStartNote;
  int velocity = kStartVelocity;
  int chorus = kStartChorus;
  int reverb = kStartReverb;
  int modulation = kStartModulation;
  int pan = kStartPan;
};

using ShortMessage = std::array<std::uint8_t, 3>;
// A program change carries one data byte: send the first two bytes of its entry.
constexpr std::size_t kProgramChangeEntry = 6;

constexpr std::array<ShortMessage, 8> PressMessages(const Voice& v) {
  auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
  return {{{kControlChange, kControlPan, byte(v.pan)},
           {kControlChange, kControlModulation, byte(v.modulation)},
           {kControlChange, kControlReverb, byte(v.reverb)},
           {kControlChange, kControlChorus, byte(v.chorus)},
           {kControlChange, kControlBankMsb, byte(v.bank)},
           {kControlChange, kControlBankLsb, byte(v.map)},
           {kProgramChange, byte(v.program - 1), 0},
           {kNoteOn, byte(v.note), byte(v.velocity)}}};
}

constexpr ShortMessage ReleaseMessage(const Voice& v) {
  return {kNoteOff, static_cast<std::uint8_t>(v.note), kReleaseVelocity};
}

// Sends the press through anything with sendShort(span of bytes), each message at its own length.
template <typename Sink>
void SendPress(Sink& sink, const Voice& voice) {
  const auto messages = PressMessages(voice);
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::size_t length = i == kProgramChangeEntry ? 2 : 3;
    sink.sendShort(std::span<const std::uint8_t>(messages[i].data(), length));
  }
}

template <typename Sink>
void SendRelease(Sink& sink, const Voice& voice) {
  const auto message = ReleaseMessage(voice);
  sink.sendShort(std::span<const std::uint8_t>(message.data(), message.size()));
}

}  // namespace kalvora::test
