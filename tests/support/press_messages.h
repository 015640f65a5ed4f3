// The messages a press sends, for suites and benchmarks that drive a device without the window:
// pan, modulation, reverb, chorus, bank MSB, bank LSB (the map), program change and note-on, all
// on channel 1; and the release's note-off.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "midi/midi_bytes.h"
#include "play/voice_state.h"

namespace kalvora::test {

// The voice at start, before any control is touched; a test changes what it plays with.
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

using Bytes = std::vector<std::uint8_t>;

// The press's messages, each at its own length: the set-up (the first seven), then the note-on.
inline std::vector<Bytes> PressBytes(const Voice& v) {
  const auto messages = PressMessages(v);
  std::vector<Bytes> bytes;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::size_t length = i == kProgramChangeEntry ? 2 : 3;
    bytes.emplace_back(messages[i].begin(), messages[i].begin() + length);
  }
  return bytes;
}

inline std::vector<Bytes> SetUpBytes(const Voice& v) {
  std::vector<Bytes> bytes = PressBytes(v);
  bytes.pop_back();
  return bytes;
}

// What a device's reset sends: all notes off, then all sound off, on every channel in turn.
inline std::vector<Bytes> ResetBytes() {
  std::vector<Bytes> bytes;
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    const auto status = static_cast<std::uint8_t>(kControlChange | channel);
    bytes.push_back({status, kControlAllNotesOff, 0});
    bytes.push_back({status, kControlAllSoundOff, 0});
  }
  return bytes;
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
