#include "midi/midi_backend.h"

#include <array>

#include "midi/midi_bytes.h"

namespace kalvora {

void MidiConnection::reset() {
  for (int channel = 0; channel < kChannelCount; ++channel) {
    const auto status = static_cast<std::uint8_t>(kControlChange | channel);
    const std::array<std::uint8_t, 3> notesOff{status, kControlAllNotesOff, 0};
    const std::array<std::uint8_t, 3> soundOff{status, kControlAllSoundOff, 0};
    sendShort(notesOff);
    sendShort(soundOff);
  }
}

}  // namespace kalvora
