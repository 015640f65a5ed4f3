// Playing and stopping the one note: the complete voice set-up, then the note-on; the note-off.
#pragma once

#include <cstdint>

// Shows the program and bank numbers, sends pan, modulation, reverb, chorus, bank MSB, bank LSB
// (map), program change and note-on on channel 1, then rewrites all 256 captions.
void PlayNote();
// Sends the note-off for NoteNumber, release velocity 127.
void StopNote();

namespace kalvora {
// The note-off for one given note (what StopNote sends for NoteNumber), for a press that knows
// its own note.
void StopNoteOf(std::int32_t note);
}  // namespace kalvora
