// The current tone's set-up as plain text for the clipboard, three lines: what it is, the numbers
// a sequencer asks for, and the set-up's bytes in hex as a press sends them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kalvora {

// For example:
//   map SC-8850, program 1, bank 0: Piano 1
//   channel 1, bank select MSB 0, LSB 4, program 1 (0-based 0), bank number 4 (MSB x 128 + LSB)
//   B0 0A 40 B0 01 00 B0 5B 28 B0 5D 00 B0 00 00 B0 20 04 C0 00
std::string SetUpText(std::span<const std::uint32_t> setUp);

// A file name for the tone ("SC-8850 001-000 Piano 1.mid", "SC-8850 drum set 001 STANDARD.mid")
// that any file system takes: only letters, digits, spaces and a few marks.
std::string MidiFileName(std::span<const std::uint32_t> setUp);

}  // namespace kalvora
