// Tiny SoundFonts written by the tests themselves: one looped sine sample, each preset one
// instrument whose zones play it over given key ranges.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kalvora::test {

// One zone of an instrument: the keys and velocities it plays the sine for.
struct TestZone {
  std::pair<int, int> keys{0, 127};
  std::pair<int, int> velocities{0, 127};
};

struct TestPreset {
  std::string name;  // at most 19 characters
  int bank = 0;
  int program = 0;  // as sent in the program change, 0..127
  std::vector<TestZone> zones{TestZone{}};
};

// The sine's pitch in the file: its sample plays at this key unshifted.
inline constexpr int kTestSineRootKey = 69;
inline constexpr double kTestSineHz = 441.0;  // 100 frames a period at 44.1 kHz

// The bytes of a SoundFont holding presets.
std::string SoundFontBytes(const std::vector<TestPreset>& presets);
// Writes them to path.
void WriteSoundFont(const std::filesystem::path& path, const std::vector<TestPreset>& presets);

// A damaged SoundFont: the bytes of presets, whose preset data chunk ("LIST pdta") claims
// claimedBytes (kClaimToTheEnd: up to the end of the file), in a file of fileBytes, sparse beyond
// the bytes written. The RIFF header's size matches the file, so only the claim is wrong.
inline constexpr std::uint64_t kClaimToTheEnd = UINT64_MAX;
void WriteSoundFontClaiming(const std::filesystem::path& path,
                            const std::vector<TestPreset>& presets, std::uint64_t claimedBytes,
                            std::uint64_t fileBytes);

}  // namespace kalvora::test
