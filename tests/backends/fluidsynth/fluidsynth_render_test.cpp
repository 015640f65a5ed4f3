// The built-in synth rendered into memory, no sound card: what the program's messages sound like.
#include <gtest/gtest.h>

#include "fluidsynth_test_support.h"

namespace kalvora::test {
namespace {

constexpr double kSilentDb = -90.0;

class SynthRender : public ::testing::Test {
 protected:
  void SetUp() override {
    synth_ = LoadedSynth();
    if (!synth_) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  }

  // The voice from a clean start: the MIDI System Reset also empties the reverb and chorus, so
  // no tail of the last note colours this one.
  Sound play(const Voice& voice, double milliseconds = 400) {
    Send(*synth_, {0xFF});
    Render(*synth_, 50);
    SendPress(*synth_, voice);
    return Render(*synth_, milliseconds);
  }

  std::unique_ptr<SynthCore> synth_;
};

TEST_F(SynthRender, NoteOnSoundsWithinFewMilliseconds) {
  EXPECT_LT(PeakDb(Render(*synth_, 100)), kSilentDb) << "a fresh synth must be silent";
  const Sound sound = play(Voice{});
  const std::size_t onset = FirstFrameAbove(sound, -40.0);
  ASSERT_LT(onset, sound.size()) << "no sound at all";
  EXPECT_LT(Milliseconds(onset), 5.0);
  EXPECT_GT(PeakDb(sound), -30.0) << "too quiet to hear";
}

TEST_F(SynthRender, NoteOffDecaysBelowMinus60WithinASecond) {
  for (int program : {1, 49, 81}) {  // piano, strings, square lead
    SCOPED_TRACE(program);
    const Voice voice{.program = program};
    const Sound held = play(voice, 500);
    EXPECT_GT(PeakDb(held), -30.0);
    SendRelease(*synth_, voice);
    const Sound after = Render(*synth_, 1100);
    EXPECT_LT(PeakDb(after, Frames(1000)), -60.0);
  }
}

struct ToneCase {
  const char* what;
  Voice a;
  Voice b;
  bool same;
};

class ToneDifference : public SynthRender, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(ToneDifference, SpectraDifferOnlyForDifferentTones) {
  const ToneCase& c = GetParam();
  const Sound a = play(c.a);
  const Sound b = play(c.b);
  ASSERT_GT(PeakDb(a), -40.0);
  ASSERT_GT(PeakDb(b), -40.0);
  const double distance = SpectralDistanceDb(a, b);
  if (c.same) {
    EXPECT_LT(distance, 2.5);
  } else {
    EXPECT_GT(distance, 3.5);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tones, ToneDifference,
    ::testing::Values(ToneCase{"the same tone twice", {.program = 1}, {.program = 1}, true},
                      ToneCase{"piano and violin", {.program = 1}, {.program = 41}, false},
                      ToneCase{"square lead and its bank 8 sine wave",
                               {.program = 81},
                               {.program = 81, .bank = 8},
                               false},
                      // A bank without the tone plays bank 0's, as sound modules do.
                      ToneCase{"a missing bank falls back to bank 0",
                               {.program = 1},
                               {.program = 1, .bank = 3},
                               true},
                      ToneCase{"the map (bank select LSB) does not change the tone",
                               {.program = 1, .map = 0},
                               {.program = 1, .map = 4},
                               true}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// The effect units are switched off for the pan checks: the instruments' own reverb sends would
// put sound in both channels whatever the pan.
void DryOutput(SynthCore& synth) {
  constexpr int kAllGroups = -1;
  fluid_synth_reverb_on(synth.synth(), kAllGroups, 0);
  fluid_synth_chorus_on(synth.synth(), kAllGroups, 0);
}

TEST_F(SynthRender, GsResetCentresPanAndRestoresControllers) {
  DryOutput(*synth_);
  // A trumpet (a mono sample) hard left: the right channel is silent.
  const Voice left{.program = 57, .pan = 0};
  const Sound before = play(left);
  EXPECT_LT(PowerDb(before.right), PowerDb(before.left) - 40.0);
  Send(*synth_, {0xB0, 0x01, 127});  // modulation
  Send(*synth_, {0xB0, 0x5B, 127});  // reverb
  Send(*synth_, {0xB0, 0x5D, 127});  // chorus
  Send(*synth_, {0xB0, 0x07, 10});   // volume
  SendRelease(*synth_, left);

  SendGsReset(*synth_);
  Render(*synth_, 50);
  // The same trumpet note, with nothing but its program: it sounds as from a fresh synth.
  auto fresh = LoadedSynth();
  DryOutput(*fresh);
  Sound after, reference;
  for (auto [synth, sound] :
       {std::pair{synth_.get(), &after}, std::pair{fresh.get(), &reference}}) {
    Send(*synth, {0xC0, 56});
    Send(*synth, {0x90, 60, 100});
    *sound = Render(*synth, 400);
  }
  EXPECT_NEAR(PowerDb(after.left), PowerDb(after.right), 0.5) << "not centred";
  EXPECT_NEAR(PowerDb(after.left), PowerDb(reference.left), 0.5);
  for (int control : {0x01, 0x07, 0x0A, 0x5B, 0x5D}) {
    int value = -1;
    int expected = -2;
    fluid_synth_get_cc(synth_->synth(), 0, control, &value);
    fluid_synth_get_cc(fresh->synth(), 0, control, &expected);
    EXPECT_EQ(value, expected) << "controller " << control;
  }
}

TEST_F(SynthRender, SilenceCutsSoundAndReleasesThePedal) {
  DryOutput(*synth_);  // the reverb would go on ringing, as it does on a sound module
  const Voice organ{.program = 17};
  Send(*synth_, {0xB0, 0x40, 127});  // sustain pedal down
  SendPress(*synth_, organ);
  EXPECT_GT(PeakDb(Render(*synth_, 200)), -30.0);
  synth_->silence();
  EXPECT_LT(PeakDb(Render(*synth_, 100), Frames(5)), kSilentDb);

  // A note after the reset ends at its note-off: the pedal is no longer down.
  SendPress(*synth_, organ);
  Render(*synth_, 200);
  SendRelease(*synth_, organ);
  EXPECT_LT(PeakDb(Render(*synth_, 1100), Frames(1000)), -60.0);
}

// Dropped whole: nothing sounds, and (under AddressSanitizer) nothing is read past the end.
TEST_F(SynthRender, MalformedMessagesAreDropped) {
  const std::vector<std::vector<std::uint8_t>> malformed{
      {},                  // nothing
      {0x3C, 0x64},        // data without a status byte
      {0x90, 0x3C},        // note-on without its velocity
      {0x90, 0x3C, 0xE4},  // a status byte where the velocity belongs
      {0x90, 0xBC, 0x64},  // a status byte where the note belongs
      {0xF8},              // a clock tick
  };
  for (const auto& bytes : malformed) synth_->sendShort(bytes);
  EXPECT_LT(PeakDb(Render(*synth_, 200)), kSilentDb);
}

TEST_F(SynthRender, ShortMessagesReachTheirChannel) {
  // Program change takes one data byte, so a two-byte message is complete.
  Send(*synth_, {0xC5, 40});
  Send(*synth_, {0xE5, 0x00, 0x60});  // pitch bend up
  Send(*synth_, {0x95, 60, 100});
  int bank = -1, preset = -1, bend = -1;
  int font = 0;
  fluid_synth_get_program(synth_->synth(), 5, &font, &bank, &preset);
  fluid_synth_get_pitch_bend(synth_->synth(), 5, &bend);
  EXPECT_EQ(preset, 40);
  EXPECT_EQ(bend, 0x60 << 7);
  EXPECT_GT(PeakDb(Render(*synth_, 200)), -40.0);
}

}  // namespace
}  // namespace kalvora::test
