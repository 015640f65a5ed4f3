// A Standard MIDI File that brings a tone into a song: format 0, 480 ticks per quarter note,
// tempo 120 in 4/4; the GS Reset at tick 0, the set-up after the time the program leaves a module
// after a reset, then one bar of the note.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kalvora {

inline constexpr int kTicksPerQuarter = 480;
inline constexpr int kMicrosecondsPerQuarter = 500000;  // tempo 120
inline constexpr int kTicksPerBar = 4 * kTicksPerQuarter;

// The file's bytes; the note and its release go on the set-up's channel.
std::string StandardMidiFile(std::span<const std::uint32_t> setUp, int note, int velocity);

}  // namespace kalvora
