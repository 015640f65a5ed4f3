// Changes to a SoundFont's preset data (the "pdta" chunk) that make every tone sound at every key
// and velocity, and hide presets that must not play. Only generator amounts and bank numbers
// change, never a size, so the patched chunk stands in for the original byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth/fluidsynth_fonts.h"

namespace kalvora {

// Where a preset or instrument has keys (or velocities) that none of its zones covers, the
// zones next to the gap are widened into it: the lowest zones down to 0, the highest up to 127,
// and a gap between two zones split between them. A sample then plays beyond its own range at the
// key's own pitch, as a hardware module stretches its samples, instead of falling silent.
// Velocity gaps are closed the same way among zones that share one key range. Keys and
// velocities some zone covers already keep exactly the zones they had. False (and nothing
// changed) when the chunk is malformed.
bool WidenZoneRanges(std::span<std::uint8_t> pdta);

// Which presets of a font may play, by program (1..128), bank and the preset's own name.
using PresetFilter = std::function<bool(int program, int bank, std::string_view name)>;

// Moves each preset that keep rejects to a bank no bank select reaches, and takes its
// zones' instruments away, so that FluidSynth neither finds it nor reads what it would play.
// False when the chunk is malformed.
bool HidePresets(std::span<std::uint8_t> pdta, const PresetFilter& keep);

// The banks and programs (1..128) of the chunk's presets; empty when it is malformed.
std::vector<std::pair<int, int>> PresetSlots(std::span<std::uint8_t> pdta);

// The bank SoundFonts keep their percussion kits in.
inline constexpr int kPercussionBank = 128;

// Bank number that hidden presets move to: above every bank a MIDI bank select can name.
inline constexpr std::uint16_t kHiddenBank = 0xFFFF;

}  // namespace kalvora
