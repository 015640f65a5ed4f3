// Nothing the program plays clips: every bank-0 tone at full velocity, at the keyboard's lowest,
// middle and highest keys, with the press's default levels, peaks at or below -1 dBFS, while the
// tones stay loud enough to hear (median peak at or above -20 dBFS).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fluidsynth_test_support.h"

namespace kalvora::test {
namespace {

constexpr int kPrograms = 128;
constexpr int kFullVelocity = 127;
constexpr double kCeilingDb = -1.0;
constexpr double kQuietestMedianDb = -20.0;
// Long enough for every attack and the reverb's first build-up, short enough to sweep fast.
constexpr double kRenderMs = 250;

TEST(SynthLevels, FullVelocityNeverClipsAndStaysAudible) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  std::vector<double> peaks;
  for (const int note : {29, 60, 88}) {
    for (int program = 1; program <= kPrograms; ++program) {
      const Voice voice{.program = program, .note = note, .velocity = kFullVelocity};
      Send(*synth, {0xFF});  // a clean start: no tail of the last tone
      Render(*synth, 20);
      SendPress(*synth, voice);
      const double peak = PeakDb(Render(*synth, kRenderMs));
      EXPECT_LE(peak, kCeilingDb) << "program " << program << " note " << note;
      peaks.push_back(peak);
    }
  }
  std::nth_element(peaks.begin(), peaks.begin() + peaks.size() / 2, peaks.end());
  EXPECT_GE(peaks[peaks.size() / 2], kQuietestMedianDb);
}

}  // namespace
}  // namespace kalvora::test
