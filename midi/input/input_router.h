// Plays what a MIDI keyboard sends on the open output device, on the channel a press plays on
// (channel 1, the rhythm channel on the drum page), with the tone or drum set on screen: the voice
// set-up goes ahead of the first note whenever the device's last set-up on that channel is not
// the current one; a note ends on the channel it was started on. Runs on the window's thread only, so the window's own notes and the input's
// are sent by one sender, in the order they are handled.
#pragma once

#include <cstdint>
#include <span>

#include "midi/midi_out.h"

namespace kalvora {

// The inputs, each read as a stream of its own (running status does not cross from one to another).
enum class InputSource : std::uint8_t { kSequencer, kJack };
inline constexpr std::size_t kInputSources = 2;

// Routes bytes that arrived from source while meantFor was the open device. Notes, note-offs,
// pressure, pitch bend, sustain, modulation and expression go on; anything else is dropped, and
// so is everything when meantFor is no longer the open device.
void RouteMidiInput(InputSource source, std::span<const std::uint8_t> bytes, HMIDIOUT meantFor);
// Sends the note-offs of every input note still held, and pedal-up when the pedal is down, to
// the device they were played on; then nothing is held.
void ReleaseInputNotes();
// Forgets all streams and held notes (a test's fresh start).
void ResetInputRouting();

}  // namespace kalvora
