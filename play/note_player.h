// Playing and stopping a note: the complete voice set-up, then the note-on, on the channel a
// press plays on; the note-off on the channel the note was started on.
#pragma once

#include <cstdint>

#include "midi/midi_bytes.h"
#include "play/voice_state.h"

namespace kalvora {

// A note a press started and the channel it went out on: its release stops exactly that note.
struct HeldNote {
  std::int32_t note = kStartNote;
  std::uint8_t channel = kChannel1;
  bool operator==(const HeldNote&) const = default;
};

// Shows the program and bank numbers, sends the voice set-up and the note-on for NoteNumber on
// PlayChannel(), then rewrites the button captions.
void PlayNote();
// The note PlayNote has just started: NoteNumber on PlayChannel().
HeldNote PlayedNote();
// The note-off for held on its own channel, release velocity 127: the one release procedure.
void StopNote(HeldNote held);

}  // namespace kalvora
