// Plays what a MIDI keyboard sends on the open output device, on the channel a press plays on
// (channel 1, the rhythm channel on the drum page), with the tone or drum set on screen: the voice
// set-up goes ahead of the first note whenever the device's last set-up on that channel is not
// the current one; a note ends on the channel it was started on. Runs on the window's thread
// only, so the window's own notes and the input's are sent by one sender, in the order they are
// handled.
#pragma once

#include "midi/input/input_stream.h"
#include "midi/midi_out.h"

namespace kalvora {

// Routes a message that arrived while meantFor was the open device. Notes, note-offs, pressure,
// pitch bend, sustain, modulation, expression and all notes off go on; anything else is dropped,
// and so is everything when meantFor is no longer the open device.
void RouteMidiInput(const ChannelMessage& message, HMIDIOUT meantFor);
// Sends the note-offs of every input note still held, and pedal-up when the pedal is down, to
// the device they were played on; then nothing is held.
void ReleaseInputNotes();
// Forgets the held notes (a test's fresh start).
void ResetInputRouting();

}  // namespace kalvora
