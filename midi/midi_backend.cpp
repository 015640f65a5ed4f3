#include "midi/midi_backend.h"

#include <array>

#include "midi/midi_bytes.h"
#include "midi/short_message.h"

namespace kalvora {

void MidiConnection::reset() {
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    const std::uint8_t status = ChannelStatus(kControlChange, channel);
    const std::array<std::uint8_t, 3> notesOff{status, kControlAllNotesOff, 0};
    const std::array<std::uint8_t, 3> soundOff{status, kControlAllSoundOff, 0};
    sendShort(notesOff);
    sendShort(soundOff);
  }
}

}  // namespace kalvora
