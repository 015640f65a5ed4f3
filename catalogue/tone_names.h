// The tone names of the five maps by program (1..128), bank (0..127) and map (0..4), held as one
// dense block in which the map varies fastest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalvora {
inline constexpr int kProgramCount = 128;
inline constexpr int kBankCount = 128;
inline constexpr int kToneMapCount = 5;
inline constexpr int kToneNameEntries = kProgramCount * kBankCount * kToneMapCount;

// Block position of (program, bank, map); the arguments must be inside the table.
constexpr std::size_t ToneNameIndex(int program, int bank, int map) {
  return static_cast<std::size_t>(((program - 1) * kBankCount + bank) * kToneMapCount + map);
}
}  // namespace kalvora

// Empty until FillToneNames; entry (p, b, m) is element ((p - 1) * 128 + b) * 5 + m.
extern std::array<std::string_view, kalvora::kToneNameEntries> ToneNames;

// Stores every name of the built-in list into its entries. Called once at start-up.
void FillToneNames();

namespace kalvora {
// The entry for program, bank and map; empty text for anything outside the table.
std::string_view ToneName(int program, int bank, int map);
}  // namespace kalvora
