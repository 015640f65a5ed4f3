// The maps by index (0 GM .. 4 SC-8850) as a sequencer's user knows them, in plain ASCII, for the
// files and text that carry a tone out of the program.
#pragma once

#include <array>
#include <string_view>

#include "catalogue/tone_names.h"

namespace kalvora {

inline constexpr std::array<std::string_view, kToneMapCount> kMapNames{"GM", "SC-55", "SC-88",
                                                                       "SC-88Pro", "SC-8850"};

// Empty for anything outside the table.
constexpr std::string_view MapName(int map) {
  return map >= 0 && map < kToneMapCount ? kMapNames[static_cast<std::size_t>(map)]
                                         : std::string_view{};
}

}  // namespace kalvora
