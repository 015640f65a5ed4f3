// Which notes got through a queue or to a device and which were refused there, by channel and
// key: a note-off whose note-on never got through ends nothing, and is not sent to take room
// from one that ends a sounding note.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>

#include "midi/midi_bytes.h"

namespace kalvora {

class NoteLedger {
 public:
  static constexpr std::size_t kKeys = 128;

  // A note-on that was taken (true) or refused.
  void noteOn(std::uint8_t channel, std::uint8_t key, bool taken) {
    const std::size_t at = indexOf(channel, key);
    if (taken) held_.set(at);
    refused_.set(at, !taken);
  }
  // Whether a note-off for the key may still end something: false (once) when the last note-on
  // of the key was refused and no earlier one holds it.
  bool noteOffNeeded(std::uint8_t channel, std::uint8_t key) {
    const std::size_t at = indexOf(channel, key);
    if (held_.test(at) || !refused_.test(at)) return true;
    refused_.reset(at);
    return false;
  }
  // A note-off that was taken.
  void noteOff(std::uint8_t channel, std::uint8_t key) { held_.reset(indexOf(channel, key)); }
  // An all notes off that was taken.
  void allNotesOff(std::uint8_t channel) {
    for (std::size_t key = 0; key < kKeys; ++key) held_.reset(channel * kKeys + key);
  }
  bool held(std::uint8_t channel, std::uint8_t key) const {
    return held_.test(indexOf(channel, key));
  }
  void clear() {
    held_.reset();
    refused_.reset();
  }

 private:
  static std::size_t indexOf(std::uint8_t channel, std::uint8_t key) {
    return (channel & kChannelMask) * kKeys + (key & kDataMask);
  }

  std::bitset<kChannelCount * kKeys> held_;
  std::bitset<kChannelCount * kKeys> refused_;
};

}  // namespace kalvora
