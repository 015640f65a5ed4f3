#include "midi/midi_backend.h"

#include <array>

namespace kalvora {

namespace {
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kAllSoundOff = 0x78;
constexpr std::uint8_t kAllNotesOff = 0x7B;
constexpr int kChannels = 16;
}  // namespace

void MidiConnection::reset() {
  for (int channel = 0; channel < kChannels; ++channel) {
    const auto status = static_cast<std::uint8_t>(kControlChange | channel);
    const std::array<std::uint8_t, 3> notesOff{status, kAllNotesOff, 0};
    const std::array<std::uint8_t, 3> soundOff{status, kAllSoundOff, 0};
    sendShort(notesOff);
    sendShort(soundOff);
  }
}

}  // namespace kalvora
