#include "catalogue/tone_names.h"

// Value-initialised, so every entry is empty text until FillToneNames.
std::array<std::string_view, kalvora::kToneNameEntries> ToneNames{};

namespace kalvora {

std::string_view ToneName(int program, int bank, int map) {
  const bool inside = program >= 1 && program <= kProgramCount && bank >= 0 && bank < kBankCount &&
                      map >= 0 && map < kToneMapCount;
  if (!inside) return {};
  return ToneNames[ToneNameIndex(program, bank, map)];
}

}  // namespace kalvora
