// MIDI bytes into FluidSynth calls. Anything malformed (no status byte, too few data bytes, a
// data byte with its top bit set, unframed SysEx) is dropped, never half applied.
#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <span>

namespace kalvora {

void RouteShortMessage(fluid_synth_t* synth, std::span<const std::uint8_t> bytes);
void RouteSystemExclusive(fluid_synth_t* synth, std::span<const std::uint8_t> bytes);

}  // namespace kalvora
