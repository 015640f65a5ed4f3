// MIDI input on the recording backend: what reaches the device, in which order, and when.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "catalogue/tone_names.h"
#include "midi/input/input_inbox.h"
#include "play/device_state.h"
#include "play/device_switch.h"
#include "play/input_router.h"
#include "play/note_player.h"
#include "play/rhythm_part.h"
#include "play/voice_state.h"
#include "support/press_messages.h"
#include "support/recording_session.h"
#include "support/start_voice_state.h"

namespace kalvora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Messages = std::vector<Bytes>;
using Kind = RecordedCall::Kind;
using test::RecordingSession;

// The set-up the start values give, as PlayNote sends it.
const Messages kStartSetUp = test::SetUpBytes({});

Messages Plus(Messages first, const Messages& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

class MidiInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FillToneNames();
    DeviceCount = static_cast<std::int32_t>(midiOutGetNumDevs());
    DeviceIndex = 0;
    ASSERT_EQ(midiOutOpen(&MidiOut, 0, 0, 0, 0), MMSYSERR_NOERROR);
    test::GiveStartVoiceState();
    ResetMidiInput();
    ResetInputRouting();
    session_.clear();
  }
  void TearDown() override {
    DeliverMidiInput(RouteMidiInput);  // nothing is left for the next test
    midiOutClose(MidiOut);
  }

  // Posts bytes as the JACK input's thread would, and lets the window's thread take them.
  void receive(const Bytes& bytes, InputSource source = InputSource::kJack) {
    ASSERT_TRUE(PostMidiInput(source, bytes));
    DeliverMidiInput(RouteMidiInput);
  }
  // The short messages sent since the last clear, each with the port it went to.
  Messages sent(std::size_t port = 0) {
    Messages sent;
    for (const auto& call : session_.log().of(Kind::kShort)) {
      if (call.port == port) sent.push_back(call.bytes);
    }
    return sent;
  }

  RecordingSession session_{{"Module A", "Module B"}};
};

TEST_F(MidiInputTest, SetUpOnceThenEverythingPlayableOnChannelOneInOrder) {
  // Channel 5 with running status, then channel 16; clock, active sensing, program change, bank
  // select, other controllers and a system-exclusive message between them are dropped.
  receive({0x94, 0x3C, 0x64, 0x40, 0x50, 0xF8, 0xFE});
  receive({0xC4, 0x05, 0xB4, 0x00, 0x02, 0x20, 0x01, 0x07, 0x64, 0xF0, 0x41, 0x10, 0xF7});
  receive(
      {0xBF, 0x40, 0x7F, 0x01, 0x20, 0x0B, 0x50, 0xEF, 0x00, 0x50, 0xAF, 0x3C, 0x10, 0xDF, 0x30});
  receive({0x9F, 0x3C, 0x00, 0x8F, 0x40, 0x20, 0x94, 0x3E, 0x70});
  EXPECT_EQ(sent(), Plus(kStartSetUp, {{0x90, 0x3C, 0x64},
                                       {0x90, 0x40, 0x50},
                                       {0xB0, 0x40, 0x7F},
                                       {0xB0, 0x01, 0x20},
                                       {0xB0, 0x0B, 0x50},
                                       {0xE0, 0x00, 0x50},
                                       {0xA0, 0x3C, 0x10},
                                       {0xD0, 0x30},
                                       {0x90, 0x3C, 0x00},  // velocity 0: a note-off, no set-up
                                       {0x80, 0x40, 0x20},
                                       {0x90, 0x3E, 0x70}}));
}

TEST_F(MidiInputTest, NewSetUpOnlyWhenTheDeviceLastGotAnotherOne) {
  PlayNote();  // the window's own press sends the current set-up
  StopNote(PlayedNote());
  session_.clear();
  receive({0x90, 0x40, 0x50, 0x80, 0x40, 0x00});
  EXPECT_EQ(sent(), (Messages{{0x90, 0x40, 0x50}, {0x80, 0x40, 0x00}}));

  session_.clear();
  ReverbLevel = 90;  // a scroll bar moved: nothing is sent until the next note
  receive({0xE0, 0x00, 0x40, 0x80, 0x40, 0x00});
  EXPECT_EQ(sent(), (Messages{{0xE0, 0x00, 0x40}, {0x80, 0x40, 0x00}}));
  receive({0x90, 0x41, 0x50, 0x42, 0x50});
  Messages setUp = kStartSetUp;
  setUp[2] = {0xB0, 0x5B, 90};
  EXPECT_EQ(sent(), Plus(Messages{{0xE0, 0x00, 0x40}, {0x80, 0x40, 0x00}},
                         Plus(setUp, {{0x90, 0x41, 0x50}, {0x90, 0x42, 0x50}})));
}

TEST_F(MidiInputTest, SwitchReleasesHeldNotesAndPedalOnTheOldDeviceOnly) {
  receive({0x90, 0x3C, 0x64, 0x40, 0x64, 0x43, 0x64, 0x80, 0x43, 0x00, 0xB0, 0x40, 0x7F});
  session_.clear();
  // Queued before the press but not yet taken: it still goes to the old device first.
  ASSERT_TRUE(PostMidiInput(InputSource::kJack, Bytes{0x90, 0x45, 0x64}));
  CloseDeviceForSwitch();
  EXPECT_EQ(sent(0), (Messages{{0x90, 0x45, 0x64},
                               {0x80, 0x3C, 0x40},
                               {0x80, 0x40, 0x40},
                               {0x80, 0x45, 0x40},
                               {0xB0, 0x40, 0x00}}));
  OpenNextDevice("");
  EXPECT_TRUE(sent(1).empty());
  // Released once: closing the window later releases nothing again.
  session_.clear();
  ReleaseInputNotes();
  EXPECT_TRUE(session_.log().of(Kind::kShort).empty());
}

// On the drum page the input plays the rhythm part; notes and the pedal end on the channel they
// began on, whichever page is shown by then.
TEST_F(MidiInputTest, NotesAndPedalEndOnTheChannelTheyBeganOn) {
  SetPlayChannel(kRhythmChannel);
  receive({0x90, 0x24, 0x64, 0xB0, 0x40, 0x7F, 0x90, 0x26, 0x64});
  SetPlayChannel(kChannel1);
  receive({0x90, 0x3C, 0x64, 0x80, 0x24, 0x00, 0xB0, 0x40, 0x00});
  receive({0x90, 0x3E, 0x64});
  EXPECT_EQ(sent(), (Messages{{0xB9, 0x0A, 0x40}, {0xB9, 0x5B, 0x28}, {0xB9, 0x5D, 0x00},
                              {0xB9, 0x00, 0x00}, {0xB9, 0x20, 0x04}, {0xC9, 0x00},
                              {0x99, 0x24, 0x64}, {0xB9, 0x40, 0x7F}, {0x99, 0x26, 0x64},
                              kStartSetUp[0],     kStartSetUp[1],     kStartSetUp[2],
                              kStartSetUp[3],     kStartSetUp[4],     kStartSetUp[5],
                              kStartSetUp[6],     {0x90, 0x3C, 0x64}, {0x89, 0x24, 0x00},
                              {0xB0, 0x40, 0x00}, {0xB9, 0x40, 0x00}, {0x90, 0x3E, 0x64}}));
  session_.clear();
  ReleaseInputNotes();
  EXPECT_EQ(sent(), (Messages{{0x80, 0x3C, 0x40}, {0x80, 0x3E, 0x40}, {0x89, 0x26, 0x40}}));
}

TEST_F(MidiInputTest, InputDuringTheWaitsComesAfterThemExceptForAGoneDevice) {
  // The input arrives during each 200 ms wait of the switch.
  SetSleepFunction([](int) {
    PostMidiInput(InputSource::kJack,
                  Bytes{0x90, static_cast<std::uint8_t>(DeviceIndex + 0x30), 0x64});
  });
  CloseDeviceForSwitch();  // device 0 gone: its note goes nowhere
  OpenNextDevice("");      // device 1 opened and reset: its note waits for the end of the wait
  EXPECT_EQ(session_.log().of(Kind::kShort).size(), 0u);
  DeliverMidiInput(RouteMidiInput);
  EXPECT_EQ(sent(1), Plus(kStartSetUp, {{0x90, 0x31, 0x64}}));
  EXPECT_TRUE(sent(0).empty());
}

TEST_F(MidiInputTest, BadInputNeitherHangsNorDerailsWhatFollows) {
  receive({0x3C, 0x64, 0x40});              // data bytes without a status
  receive({0x90, 0x3C});                    // cut short by the next status...
  receive({0xB0, 0x07});                    // ...and this one by the system-exclusive start
  receive({0xF0, 0x41, 0x10, 0x42, 0x12});  // never ended, but for the next status
  receive({0xF2, 0x10, 0x20, 0x30, 0x40});  // song position cancels the running status
  receive({0x91, 0x3E, 0x50});
  EXPECT_EQ(sent(), Plus(kStartSetUp, {{0x90, 0x3E, 0x50}}));

  // Ten thousand messages from the input's own thread while the window takes them: each
  // arrives whole and in order, or (when the queue is full) not at all.
  session_.clear();
  constexpr int kBurst = 10'000;
  std::atomic<int> posted{0};
  std::thread poster([&posted] {
    for (int i = 0; i < kBurst; ++i) {
      const std::uint8_t key = static_cast<std::uint8_t>(i % 128);
      if (PostMidiInput(InputSource::kJack, Bytes{0x80, key, 0x00})) ++posted;
    }
  });
  for (int round = 0; round < 100; ++round) DeliverMidiInput(RouteMidiInput);
  poster.join();
  DeliverMidiInput(RouteMidiInput);
  EXPECT_EQ(posted.load(), kBurst);  // the queue holds a burst of this size
  const Messages burst = sent();
  ASSERT_EQ(burst.size(), static_cast<std::size_t>(kBurst));
  for (int i = 0; i < kBurst; ++i) {
    ASSERT_EQ(burst[i], (Bytes{0x80, static_cast<std::uint8_t>(i % 128), 0x00})) << i;
  }
}

TEST_F(MidiInputTest, AFloodThinsPressureAndKeepsEveryNoteOnAndOff) {
  // All of it posted before the window takes any: 128 notes, far more pressure in running status
  // than the queue keeps, and their 128 note-offs.
  Bytes notesOn;
  Bytes notesOff;
  for (std::uint8_t key = 0; key < 128; ++key) {
    notesOn.insert(notesOn.end(), {0x92, key, 0x64});
    notesOff.insert(notesOff.end(), {0x82, key, 0x00});
  }
  constexpr std::size_t kPressure = 100'000;
  Bytes pressure{0xD2};
  for (std::size_t i = 0; i < kPressure; ++i)
    pressure.push_back(static_cast<std::uint8_t>(i & 0x7F));
  EXPECT_TRUE(PostMidiInput(InputSource::kJack, notesOn));
  EXPECT_FALSE(PostMidiInput(InputSource::kJack, pressure)) << "some pressure is thinned";
  EXPECT_TRUE(PostMidiInput(InputSource::kJack, notesOff));
  for (int turn = 0; turn < 20; ++turn) DeliverMidiInput(RouteMidiInput);

  const Messages all = sent();
  Messages notes;
  std::size_t pressureSent = 0;
  for (const Bytes& message : all) {
    if (message[0] == 0xD0) {
      ++pressureSent;
    } else if (message[0] != 0xB0 && message[0] != 0xC0) {
      notes.push_back(message);
    }
  }
  Messages expected;
  for (std::uint8_t key = 0; key < 128; ++key) expected.push_back({0x90, key, 0x64});
  for (std::uint8_t key = 0; key < 128; ++key) expected.push_back({0x80, key, 0x00});
  EXPECT_EQ(notes, expected);
  EXPECT_GT(pressureSent, kPressure / 4);
  EXPECT_LT(pressureSent, kPressure);
  EXPECT_EQ(all.back(), (Bytes{0x80, 127, 0x00})) << "the pressure kept came before the note-offs";
}

TEST_F(MidiInputTest, NoteOffsOfNotesTheQueueRefusedTakeNoRoomFromOnesThatEndANote) {
  EXPECT_TRUE(PostMidiInput(InputSource::kJack, Bytes{0x91, 0x3C, 0x64}));
  // Struck and let go, over and over, far beyond what the queue holds: once it refuses the
  // notes, their note-offs are left out too, so they never crowd out the one for key 60.
  Bytes flood{0x90};
  for (int i = 0; i < 80'000; ++i) {
    const auto key = static_cast<std::uint8_t>(i % 60);
    flood.insert(flood.end(), {key, 0x64, key, 0x00});
  }
  EXPECT_FALSE(PostMidiInput(InputSource::kJack, flood));
  EXPECT_TRUE(PostMidiInput(InputSource::kJack, Bytes{0x81, 0x3C, 0x00}));
  for (int turn = 0; turn < 20; ++turn) DeliverMidiInput(RouteMidiInput);
  const Messages all = sent();
  std::size_t ons = 0;
  std::size_t offs = 0;
  for (const Bytes& message : all) {
    ons += message[0] == 0x90 && message[2] != 0;
    offs += message[0] == 0x80 || (message[0] == 0x90 && message[2] == 0);
  }
  EXPECT_EQ(ons, offs);
  EXPECT_EQ(all.back(), (Bytes{0x80, 0x3C, 0x00}));
}

TEST_F(MidiInputTest, HeldNotesCountOnlyWhatTheDeviceTook) {
  // The keyboard's all notes off, which the device took, ends what it held...
  receive({0x90, 0x3C, 0x64, 0x3E, 0x64, 0xB0, 0x40, 0x7F, 0xB5, 0x7B, 0x00});
  // ...but a note-off and a pedal-up the device had no room for leave theirs held.
  receive({0x90, 0x40, 0x64});
  session_.log().full = true;
  receive({0x80, 0x40, 0x00, 0xB0, 0x40, 0x00});
  // A note-on it had no room for sounds nowhere: its note-off is not sent to take room either.
  receive({0x90, 0x45, 0x64});
  session_.log().full = false;
  session_.clear();
  receive({0x80, 0x45, 0x00});
  EXPECT_TRUE(sent().empty());
  CloseDeviceForSwitch();
  EXPECT_EQ(sent(0), (Messages{{0x80, 0x40, 0x40}, {0xB0, 0x40, 0x00}}));
}

}  // namespace
}  // namespace kalvora
