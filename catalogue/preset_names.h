// Whether a SoundFont preset, by its own name, is the tone the table names at its program and
// bank: fonts write the same instrument with other abbreviations ("Elec Organ 1" for the
// table's "Elec Org 1") or with a mark of their own ("Tuba MT"), and sometimes put a different
// instrument at the same number ("Big Notes Pad" where the table has "OneNote Jam").
#pragma once

#include <string_view>

namespace kalvora {

// Equal once case, spaces and punctuation are set aside, the abbreviations tone lists use are
// written out and a font's "MT" mark is dropped; or one of a few reviewed pairs.
bool NamesSameInstrument(std::string_view toneName, std::string_view presetName);

// True when no map names a tone at program (1..128) and bank, or when one of the names there is
// the preset's instrument. Reads ToneNames, so FillToneNames must have run.
bool PresetFitsToneSlot(int program, int bank, std::string_view presetName);

// Whether a SoundFont's drum kit, by its own name, is the drum set the table names: as for the
// tones, with the word "Kit" or "Set" a font puts after a kit's name set aside, or one of a few
// reviewed pairs.
bool NamesSameDrumSet(std::string_view setName, std::string_view kitName);

}  // namespace kalvora
