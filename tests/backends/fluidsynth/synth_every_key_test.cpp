// Every tone of the installed stack sounds at the keyboard's lowest, middle and highest key, and
// stops at the note-off: no preset may leave a key silent because its zones end below it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "catalogue/tone_names.h"
#include "fluidsynth_test_support.h"

namespace kalvora::test {
namespace {

constexpr double kAudibleDb = -60.0;
constexpr double kOnsetMs = 50.0;
constexpr double kReleaseMs = 1000.0;
constexpr double kBlockMs = 20.0;
constexpr int kVariationStride = 16;  // every 16th named variation, across banks and maps

struct Tone {
  int program;
  int bank;
};

// Bank 0 whole, and a spread of the variations the table names.
std::vector<Tone> TonesToPlay() {
  FillToneNames();
  std::vector<Tone> tones;
  for (int program = 1; program <= kProgramCount; ++program) tones.push_back({program, 0});
  int named = 0;
  for (int program = 1; program <= kProgramCount; ++program) {
    for (int bank = 1; bank < kBankCount; ++bank) {
      bool any = false;
      for (int map = 0; map < kToneMapCount; ++map)
        any = any || !ToneName(program, bank, map).empty();
      if (any && named++ % kVariationStride == 0) tones.push_back({program, bank});
    }
  }
  return tones;
}

// The longest release among the voices sounding now, from their own envelopes; FluidSynth
// keeps at most this many voices.
double LongestReleaseMs(SynthCore& synth) {
  constexpr int kMaxVoices = 256;
  constexpr int kGenReleaseVolEnv = 38;
  std::array<fluid_voice_t*, kMaxVoices> voices{};
  fluid_synth_get_voicelist(synth.synth(), voices.data(), kMaxVoices, -1);
  double longest = 0;
  for (fluid_voice_t* voice : voices) {
    if (voice == nullptr) break;
    const double timecents = fluid_voice_gen_get(voice, kGenReleaseVolEnv);
    longest = std::max(longest, 1000.0 * std::exp2(timecents / 1200.0));
  }
  return longest;
}

// Tones whose sound starts later than 50 ms by their own making, each with the key: a reversed
// cymbal swells from nothing, and slow attacks played far below their sample's key slow down.
struct LateStart {
  int program;
  int note;
};
constexpr std::array<LateStart, 5> kLateStarts{
    {{78, 29}, {90, 29}, {102, 60}, {102, 88}, {120, 29}}};
constexpr double kLateOnsetMs = 400.0;

bool StartsLate(int program, int note) {
  return std::any_of(kLateStarts.begin(), kLateStarts.end(), [&](const LateStart& late) {
    return late.program == program && late.note == note;
  });
}

TEST(EveryKey, EveryToneSoundsAtTheLowMiddleAndHighKeyAndStops) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  // Without reverb and chorus units the output is silent exactly when no voice sounds.
  constexpr int kAllGroups = -1;
  fluid_synth_reverb_on(synth->synth(), kAllGroups, 0);
  fluid_synth_chorus_on(synth->synth(), kAllGroups, 0);
  const auto tones = TonesToPlay();
  ASSERT_GT(tones.size(), 200u);
  for (const Tone& tone : tones) {
    for (int note : {29, 60, 88}) {
      SCOPED_TRACE(testing::Message()
                   << "program " << tone.program << " bank " << tone.bank << " note " << note);
      const Voice voice{.program = tone.program, .bank = tone.bank, .note = note};
      SendPress(*synth, voice);
      // Programs fall back to bank 0 where the bank is missing, so the late ones go by program.
      const bool late = StartsLate(tone.program, note);
      const Sound onset = Render(*synth, late ? kLateOnsetMs : kOnsetMs);
      EXPECT_LT(FirstFrameAbove(onset, kAudibleDb), onset.size()) << "silent";
      // Long pads and bells keep their own release; the bound grows with it, never stays open.
      const double bound = std::max(kReleaseMs, LongestReleaseMs(*synth));
      SendRelease(*synth, voice);
      double released = 0;
      double lastDb = 0;
      while (released < bound && fluid_synth_get_active_voice_count(synth->synth()) > 0) {
        lastDb = PeakDb(Render(*synth, kBlockMs));
        released += kBlockMs;
      }
      if (fluid_synth_get_active_voice_count(synth->synth()) > 0) {
        EXPECT_LT(lastDb, kAudibleDb) << "still sounding " << bound << " ms after the note-off";
      }
      synth->silence();
    }
  }
}

// Contrabass: its zones end at note 57, below the keyboard's start note.
TEST(EveryKey, ContrabassSoundsAtMiddleC) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  SendPress(*synth, {.program = 44, .note = 60});
  EXPECT_GT(PeakDb(Render(*synth, kOnsetMs)), -40.0);
}

}  // namespace
}  // namespace kalvora::test
