// Playing and stopping the one note: the complete voice set-up, then the note-on; the note-off.
#pragma once

// Writes Label10/Label12, sends pan, modulation, reverb, chorus, bank MSB, bank LSB (map),
// program change and note-on on channel 1, then rewrites all 256 captions.
void PlayNote();
// Sends the note-off for NoteNumber, release velocity 127.
void StopNote();
