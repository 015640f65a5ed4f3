// The abbreviations the maps' names use, each with the word it stands for ("Gt." for guitar),
// generated from catalogue/abbreviations.tsv and checked against every name.
#pragma once

#include <span>
#include <string_view>

namespace kalvora {

struct Abbreviation {
  std::string_view written;  // as the maps write it: "Gt.", "str.", "Vox"
  std::string_view word;     // lower case; empty where no word is known
};

std::span<const Abbreviation> Abbreviations();

// Whether name uses the abbreviation: its letters in any case, starting a word (or glued to the
// word before it when the maps write it in lower case, "Nylonstr.") and ending one; a one-letter
// abbreviation only with its dot ("E.Piano", never the E of "E Piano 2" nor of "Dance").
bool UsesAbbreviation(std::string_view name, const Abbreviation& abbreviation);

}  // namespace kalvora
