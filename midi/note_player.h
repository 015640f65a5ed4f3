// Playing and stopping the one note: the complete voice set-up, then the note-on; the note-off.
#pragma once

#include <cstdint>

#include "midi/midi_bytes.h"

// Shows the program and bank numbers, sends pan, modulation, reverb, chorus, bank MSB, bank LSB
// (map), program change and note-on on channel 1, then rewrites all 256 captions.
void PlayNote();
// Sends the note-off for NoteNumber, release velocity 127.
void StopNote();

namespace kalvora {
// A note a press started and the channel it went out on: its note-off goes there too, whatever
// was pressed or chosen in between.
struct StartedNote {
  std::int32_t note = 0;
  std::uint8_t channel = kChannel1;
  bool operator==(const StartedNote&) const = default;
};
// What PlayNote starts now: NoteNumber on the channel a press plays on.
StartedNote NoteToStart();
// The note-off for a note a press started (what StopNote sends for NoteNumber).
void StopNoteOf(StartedNote started);
}  // namespace kalvora
