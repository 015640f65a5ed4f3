#include "play/note_player.h"

#include <gtest/gtest.h>

#include "catalogue/tone_names.h"
#include "play/device_state.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"
#include "support/fake_form_view.h"
#include "support/recording_session.h"
#include "support/start_voice_state.h"

namespace kalvora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeFormView;
using test::RecordingSession;

class NotePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillToneNames();
    midiOutGetNumDevs();
    ASSERT_EQ(midiOutOpen(&MidiOut, 0, 0, 0, 0), MMSYSERR_NOERROR);
    test::GiveStartVoiceState();
    session_.clear();
  }
  void TearDown() override { midiOutClose(MidiOut); }

  RecordingSession session_;
  FakeFormView view_;
};

TEST_F(NotePlayerTest, StartVoicePlaysAndStopsMiddleCByteForByte) {
  PlayNote();
  EXPECT_EQ(session_.sentBytes(),
            (Bytes{0xB0, 0x0A, 0x40, 0xB0, 0x01, 0x00, 0xB0, 0x5B, 0x28, 0xB0, 0x5D, 0x00,
                   0xB0, 0x00, 0x00, 0xB0, 0x20, 0x04, 0xC0, 0x00, 0x90, 0x3C, 0x64}));
  EXPECT_EQ(session_.calls().size(), 8u);  // eight separate messages
  session_.clear();
  StopNote(PlayedNote());
  EXPECT_EQ(session_.sentBytes(), (Bytes{0x80, 0x3C, 0x7F}));
  EXPECT_EQ(session_.calls().size(), 1u);
}

TEST_F(NotePlayerTest, CaptionsAreWrittenOnlyAfterTheNoteOn) {
  std::size_t messagesAtFirstCaption = 0;
  view_.onCaption = [&](int) {
    if (messagesAtFirstCaption == 0) messagesAtFirstCaption = session_.calls().size();
  };
  PlayNote();
  EXPECT_EQ(messagesAtFirstCaption, 8u);
  EXPECT_EQ(view_.captionWrites, 256);
  EXPECT_EQ(view_.captions[0], "1: Piano 1");
  EXPECT_EQ(view_.captions[129], "1: UprightPiano");
}

TEST_F(NotePlayerTest, EveryValueReachesItsByteAtTheEdgesOfItsRange) {
  struct Case {
    std::int32_t program, bank, map, note, velocity;
    Bytes programChange, bankMsb, bankLsb, noteOn;
    const char* programLabel;
    const char* bankLabel;
  };
  const Case cases[] = {
      {1,
       0,
       0,
       29,
       0,
       {0xC0, 0x00},
       {0xB0, 0x00, 0x00},
       {0xB0, 0x20, 0x00},
       {0x90, 29, 0},
       "1",
       "0"},
      {128,
       127,
       4,
       88,
       127,
       {0xC0, 0x7F},
       {0xB0, 0x00, 0x7F},
       {0xB0, 0x20, 0x04},
       {0x90, 88, 127},
       "128",
       "127"},
      {64,
       8,
       1,
       60,
       1,
       {0xC0, 0x3F},
       {0xB0, 0x00, 0x08},
       {0xB0, 0x20, 0x01},
       {0x90, 60, 1},
       "64",
       "8"},
  };
  for (const auto& c : cases) {
    ProgramNumber = c.program;
    BankNumber = c.bank;
    MapIndex = c.map;
    NoteNumber = c.note;
    Velocity = c.velocity;
    session_.clear();
    PlayNote();
    const auto& calls = session_.calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[4].bytes, c.bankMsb);
    EXPECT_EQ(calls[5].bytes, c.bankLsb);
    EXPECT_EQ(calls[6].bytes, c.programChange);
    EXPECT_EQ(calls[7].bytes, c.noteOn);  // velocity 0 goes out unchanged
    EXPECT_EQ(view_.programLabel, c.programLabel);
    EXPECT_EQ(view_.bankLabel, c.bankLabel);
    session_.clear();
    StopNote(PlayedNote());  // the release velocity stays 127 whatever the note-on carried
    EXPECT_EQ(session_.sentBytes(), (Bytes{0x80, static_cast<std::uint8_t>(c.note), 0x7F}));
  }
}

TEST_F(NotePlayerTest, EffectLevelsGoOutAsTheirControllers) {
  PanPosition = 0;
  ModulationLevel = 127;
  ReverbLevel = 1;
  ChorusLevel = 99;
  PlayNote();
  const auto& calls = session_.calls();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].bytes, (Bytes{0xB0, 10, 0}));
  EXPECT_EQ(calls[1].bytes, (Bytes{0xB0, 1, 127}));
  EXPECT_EQ(calls[2].bytes, (Bytes{0xB0, 91, 1}));
  EXPECT_EQ(calls[3].bytes, (Bytes{0xB0, 93, 99}));
}

TEST_F(NotePlayerTest, WithNoDeviceOpenTheWindowStillFollows) {
  midiOutClose(MidiOut);
  ProgramNumber = 88;
  BankNumber = 0;
  PlayNote();
  StopNote(PlayedNote());
  EXPECT_TRUE(session_.sentBytes().empty());
  EXPECT_EQ(view_.programLabel, "88");
  EXPECT_EQ(view_.bankLabel, "0");
  EXPECT_EQ(view_.captions[128], "0: Bass& Lead");
}

// On the rhythm channel a press sets the drum set up instead of the tone: no modulation, bank
// select MSB 0, the set's program; a map without the chosen set plays its standard set.
TEST_F(NotePlayerTest, TheRhythmPartPlaysTheChosenDrumSetOnChannel10) {
  struct Case {
    std::int32_t map, chosenSet;
    Bytes programChange;
    const char* shownSet;
  };
  const Case cases[] = {
      {4, 26, {0xC9, 25}, "TR-808"},
      {1, 128, {0xC9, 127}, "CM-64/32L"},
      {0, 26, {0xC9, 0}, "STANDARD"},   // GM has one set
      {2, 3, {0xC9, 0}, "STANDARD 1"},  // nor has the SC-88 map a set at program 3
  };
  SetPlayChannel(kRhythmChannel);
  BankNumber = 5;
  ModulationLevel = 90;
  NoteNumber = 36;
  for (const auto& c : cases) {
    MapIndex = c.map;
    ChooseDrumSet(c.chosenSet);
    session_.clear();
    PlayNote();
    EXPECT_EQ(session_.sentBytes(), (Bytes{0xB9,
                                           0x0A,
                                           0x40,
                                           0xB9,
                                           0x5B,
                                           0x28,
                                           0xB9,
                                           0x5D,
                                           0x00,
                                           0xB9,
                                           0x00,
                                           0x00,
                                           0xB9,
                                           0x20,
                                           static_cast<std::uint8_t>(c.map),
                                           c.programChange[0],
                                           c.programChange[1],
                                           0x99,
                                           36,
                                           0x64}))
        << c.shownSet;
    ASSERT_NE(view_.drumSet, nullptr);
    EXPECT_EQ(view_.drumSet->name, c.shownSet);
    EXPECT_EQ(view_.drumMap, c.map);
  }
  // Held across a page change, the note ends where it began; the next press plays channel 1.
  const HeldNote held = PlayedNote();
  SetPlayChannel(kChannel1);
  session_.clear();
  StopNote(held);
  PlayNote();
  const auto& calls = session_.calls();
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[0].bytes, (Bytes{0x89, 36, 0x7F}));
  EXPECT_EQ(calls[2].bytes, (Bytes{0xB0, 0x01, 90}));
  EXPECT_EQ(calls[8].bytes, (Bytes{0x90, 36, 0x64}));
}

}  // namespace
}  // namespace kalvora
