// The synth's own thread: what is sent is applied there in order without holding the sender, and
// the audio output runs only while something sounds.
#include "midi/backends/fluidsynth/engine/synth_worker.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fluidsynth_test_support.h"
#include "midi/backends/fluidsynth/engine/kept_tones.h"
#include "midi/backends/fluidsynth/engine/resting_kit.h"
#include "midi/short_message.h"
#include "support/pulse_test_server.h"

namespace kalvora::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTr808 = 25;  // a kit with samples of its own

int ProgramOn(fluid_synth_t* synth, int channel) {
  fluid_preset_t* preset = fluid_synth_get_channel_preset(synth, channel);
  return preset != nullptr ? fluid_preset_get_num(preset) : -1;
}

// A closed hi-hat: over at once.
void SendDrum(SynthWorker& worker, std::uint8_t status) {
  constexpr std::uint8_t kClosedHiHat = 42;
  const std::array<std::uint8_t, 3> hiHat{static_cast<std::uint8_t>(status | kRhythmChannel),
                                          kClosedHiHat, 100};
  worker.sendShort(hiHat);
}

// A press's set-up on channel, without its note: what the window prepares ahead.
std::vector<std::uint32_t> SetUpOn(std::uint8_t channel, const Voice& voice) {
  std::vector<std::uint32_t> packed;
  for (const auto& [status, data1, data2] : PressMessages(voice))
    packed.push_back(PackChannelMessage(status, channel, data1, data2));
  packed.pop_back();  // the note-on
  return packed;
}

class SynthWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadedSynth();
    if (!loaded) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
    core_ = loaded.get();
    synth_ = loaded->synth();
    worker_ = std::make_unique<SynthWorker>(std::move(loaded), NullAudio());
    ASSERT_EQ(worker_->waitForAudio(std::chrono::seconds(5)), SynthWorker::AudioStart::kOpened);
  }

  void press(const Voice& voice) { SendPress(*worker_, voice); }
  int voices() const { return fluid_synth_get_active_voice_count(synth_); }
  int program() const { return ProgramOn(synth_, 0); }

  SynthCore* core_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  std::unique_ptr<SynthWorker> worker_;
};

// Presses of tones never heard before, each released but the last: if the note-offs overtook
// their note-ons, notes would hang; if a later program overtook an earlier one, the last would
// not be the one left. How long a press holds its sender is the runtime bench's to measure.
TEST_F(SynthWorkerTest, MessagesApplyInOrder) {
  constexpr int kFirst = 20, kLast = 40;
  for (int tone = kFirst; tone <= kLast; ++tone) {
    const Voice voice{.program = tone};
    press(voice);
    if (tone != kLast) SendRelease(*worker_, voice);
  }
  EXPECT_TRUE(
      Eventually([&] { return program() == kLast - 1 && voices() > 0; }, std::chrono::seconds(5)));
  worker_->silence();
  EXPECT_TRUE(Eventually([&] { return voices() == 0; }, std::chrono::seconds(2)));
}

// The drum kits stay out of a start, and come in at the first quiet after a note, before the
// drum page is played.
TEST_F(SynthWorkerTest, AudioClosesWhenIdleAndOpensForTheNextNote) {
  EXPECT_TRUE(worker_->audioOpen());
  EXPECT_TRUE(Eventually([&] { return !worker_->audioOpen(); },
                         SynthWorker::kIdleAfter + std::chrono::seconds(2)));
  EXPECT_FALSE(core_->drumKitsIn());
  press(Voice{});
  EXPECT_TRUE(
      Eventually([&] { return worker_->audioOpen() && voices() > 0; }, std::chrono::seconds(1)));
  // A held note keeps it open past the idle time.
  std::this_thread::sleep_for(SynthWorker::kIdleAfter + std::chrono::milliseconds(500));
  EXPECT_TRUE(worker_->audioOpen());
  EXPECT_FALSE(core_->drumKitsIn()) << "no quiet yet";
  SendRelease(*worker_, Voice{});
  EXPECT_TRUE(Eventually([&] { return core_->drumKitsIn(); },
                         SynthWorker::kRestAfter + std::chrono::seconds(3)));
}

// A tone or kit loaded ahead, as while the pointer rests on its button, plays nowhere: nothing
// sounds, channel 1 keeps its tone and the rhythm channel its lack of one; a kit brings the kits
// in. The press then plays it.
TEST_F(SynthWorkerTest, APreparedToneSoundsOnlyAtItsPress) {
  constexpr int kTone = 30;
  const auto kit = SetUpOn(kRhythmChannel, Voice{.program = 17, .bank = 0});
  worker_->prepare(SetUpOn(kChannel1, Voice{.program = kTone}));
  worker_->prepare(kit);
  EXPECT_TRUE(Eventually([&] { return core_->drumKitsIn(); }, std::chrono::seconds(5)));
  EXPECT_EQ(program(), 0);
  EXPECT_EQ(ProgramOn(synth_, kRhythmChannel), -1) << "the kits came in with a reset";
  EXPECT_EQ(voices(), 0);
  press(Voice{.program = kTone});
  EXPECT_TRUE(
      Eventually([&] { return program() == kTone - 1 && voices() > 0; }, std::chrono::seconds(2)));
}

// Storms, sent as fast as they can be, then nothing: 300 presses and releases over the on-screen
// keys; and what a MIDI keyboard may send on the rhythm channel, 2 x 20,000 drum notes struck and
// let go and a 128-note chord, whose kits ring on far below hearing long after. The output
// still closes once all is quiet, on a server that renders through the synth as a desktop's does.
struct Storm {
  const char* name;
  void (*send)(SynthWorker& worker);
};
void PrintTo(const Storm& storm, std::ostream* out) { *out << storm.name; }

void SendKeyStorm(SynthWorker& worker) {
  constexpr int kPresses = 300;
  constexpr int kLowKey = 36, kKeys = 60;
  for (int i = 0; i < kPresses; ++i) {
    const Voice voice{.note = kLowKey + (i * 7) % kKeys};
    SendPress(worker, voice);
    SendRelease(worker, voice);
  }
}

void SendDrumFlood(SynthWorker& worker) {
  auto send = [&](std::uint8_t status, int key) {
    const std::array<std::uint8_t, 3> message{status, static_cast<std::uint8_t>(key), 100};
    worker.sendShort(message);
  };
  constexpr std::uint8_t kRhythmOn = 0x99, kRhythmOff = 0x89, kStandardKit = 0;
  const std::array<std::uint8_t, 2> standardKit{kProgramChange | kRhythmChannel, kStandardKit};
  worker.sendShort(standardKit);
  constexpr int kPairs = 20000, kLowKey = 27, kKits = 61, kKeys = 128;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kPairs; ++i) {
      send(kRhythmOn, kLowKey + (i * 7) % kKits);
      send(kRhythmOff, kLowKey + (i * 7) % kKits);
    }
    for (int key = 0; key < kKeys; ++key) send(kRhythmOn, key);
    for (int key = 0; key < kKeys; ++key) send(kRhythmOff, key);
  }
}

// The synth's thread on a private PulseAudio, which renders through the synth as a desktop's
// server does: the quiet comes while what rings on is below hearing.
class SynthWorkerOnServer : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadedSynth();
    if (!loaded) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
    synth_ = loaded->synth();
    ASSERT_TRUE(server_.start()) << server_.log();
    worker_ = std::make_unique<SynthWorker>(std::move(loaded), DefaultSynthAudioOutputs());
    ASSERT_EQ(worker_->waitForAudio(std::chrono::seconds(5)), SynthWorker::AudioStart::kOpened);
  }

  PulseTestServer server_;  // outlives the worker
  fluid_synth_t* synth_ = nullptr;
  std::unique_ptr<SynthWorker> worker_;
};

class SynthWorkerStorm : public SynthWorkerOnServer, public ::testing::WithParamInterface<Storm> {};

TEST_P(SynthWorkerStorm, AudioClosesOnceAllIsQuiet) {
  SynthWorker& worker = *worker_;
  fluid_synth_t* synth = synth_;
  GetParam().send(worker);
  // The last notes ring out audibly for a few seconds, and the output
  // stays open the idle time after; what rang on below hearing held it open far longer.
  EXPECT_TRUE(Eventually([&] { return !worker.audioOpen(); },
                         SynthWorker::kIdleAfter + std::chrono::seconds(15)))
      << fluid_synth_get_active_voice_count(synth) << " voices still counted";
}

INSTANTIATE_TEST_SUITE_P(, SynthWorkerStorm,
                         ::testing::Values(Storm{"KeysOnScreen", &SendKeyStorm},
                                           Storm{"DrumsFromAKeyboard", &SendDrumFlood}),
                         [](const auto& info) { return std::string(info.param.name); });

// The rhythm channel's kit, the largest thing loaded, goes in the quiet once a tone has been
// chosen ahead (or played) since the last drum; the next drum note chooses it again, and sounds.
TEST_F(SynthWorkerOnServer, TheKitGoesAfterAToneAndComesBackForTheNextDrum) {
  SynthWorker& worker = *worker_;
  fluid_synth_t* synth = synth_;
  const std::array<std::uint8_t, 2> kit{kProgramChange | kRhythmChannel, kTr808};
  worker.sendShort(kit);
  worker.prepare(SetUpOn(kChannel1, Voice{.program = 30}));
  EXPECT_TRUE(Eventually([&] { return ProgramOn(synth, kRhythmChannel) == kTr808; },
                         std::chrono::seconds(5)));
  EXPECT_TRUE(Eventually([&] { return !worker.audioOpen(); },
                         SynthWorker::kIdleAfter + std::chrono::seconds(10)));
  EXPECT_EQ(ProgramOn(synth, kRhythmChannel), -1);
  SendDrum(worker, kNoteOn);
  EXPECT_TRUE(Eventually(
      [&] {
        return ProgramOn(synth, kRhythmChannel) == kTr808 &&
               fluid_synth_get_active_voice_count(synth) > 0;
      },
      std::chrono::seconds(2)));
}

// A desktop's sound server killed under the synth and started again a second later (as a user's
// session restarts it), after playing on or after hanging while programs were pressed: the first
// note on the server there now is heard, and the synth still goes at once.
struct ServerLoss {
  const char* name;
  PulseTestServer::Kind kind;
  bool hungFirst;
};
void PrintTo(const ServerLoss& loss, std::ostream* out) { *out << loss.name; }

class SynthWorkerServerLoss : public ::testing::TestWithParam<ServerLoss> {};

TEST_P(SynthWorkerServerLoss, TheNextNoteIsHeardOnTheServerThatCameBack) {
  auto loaded = LoadedSynth();
  if (!loaded) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  auto server = std::make_unique<PulseTestServer>(GetParam().kind);
  ASSERT_TRUE(server->start()) << server->log();
  auto worker = std::make_unique<SynthWorker>(std::move(loaded), DefaultSynthAudioOutputs());
  ASSERT_EQ(worker->waitForAudio(std::chrono::seconds(5)), SynthWorker::AudioStart::kOpened);
  const Voice organ{.program = 20};  // sustained, so that any part of the listening hears it
  SendPress(*worker, organ);
  SendRelease(*worker, organ);
  if (GetParam().hungFirst) {
    server->freeze();
    constexpr int kProgramsPressed = 12;
    for (int program = 1; program <= kProgramsPressed; ++program) {
      SendPress(*worker, Voice{.program = program});
      SendRelease(*worker, Voice{.program = program});
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  server->kill();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  server = std::make_unique<PulseTestServer>(GetParam().kind);
  ASSERT_TRUE(server->start()) << server->log();
  SendPress(*worker, organ);
  // Long enough for a null sink that had no stream to play out its block of up to 2 s.
  const float peak = server->monitorPeak(std::chrono::milliseconds(2500));
  SendRelease(*worker, organ);
  constexpr float kHeardPeak = 0.01F;
  EXPECT_GE(peak, kHeardPeak);
  const auto closing = Clock::now();
  worker.reset();
  EXPECT_LT(Clock::now() - closing, std::chrono::seconds(1));
}

INSTANTIATE_TEST_SUITE_P(
    , SynthWorkerServerLoss,
    ::testing::Values(ServerLoss{"PulseAudioRestarted", PulseTestServer::Kind::kPulseAudio, false},
                      ServerLoss{"PulseAudioHungThenKilled", PulseTestServer::Kind::kPulseAudio,
                                 true},
                      ServerLoss{"PipeWireRestarted", PulseTestServer::Kind::kPipeWire, false},
                      ServerLoss{"PipeWireHungThenKilled", PulseTestServer::Kind::kPipeWire, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Fast presses over many programs: a tone heard last stays loaded while a note of it still rings
// out after it has left the kept ones, and is let go once its own notes have ended, though
// another tone's note sounds on. (Let go at once, a tone chosen again before its note ended would
// load its samples anew and leave the first copy behind.)
TEST(KeptTones, AToneIsLetGoOnlyOnceItsNotesHaveEnded) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  KeptTones kept(synth->synth());
  auto press = [&](int program) {
    SendPress(*synth, Voice{.program = program});
    kept.chosen(0);
    kept.started(0);
  };
  auto play = [&](int program) {
    press(program);
    SendRelease(*synth, Voice{.program = program});  // rings out for a while: nothing renders
    kept.tidy();
  };
  auto tidyAfterAWhile = [&] {
    kept.tidy();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kept.tidy();
  };
  // One more than are kept, each ending within seconds of its release (FluidR3's music box and
  // tubular bells, 10 and 15, ring on for longer).
  const std::vector<int> programs{1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 16, 17, 18, 19};
  ASSERT_EQ(programs.size(), KeptTones::kTonesKept + 1);
  for (const int program : programs) play(program);
  tidyAfterAWhile();
  EXPECT_EQ(kept.pinnedCount(), KeptTones::kTonesKept + 1) << "the first tone's note still rings";
  play(programs.front());  // chosen again while leaving: kept as it is; the second one leaves
  EXPECT_EQ(kept.pinnedCount(), KeptTones::kTonesKept + 1);
  Render(*synth, 8000);
  constexpr int kOrgan = 20;
  press(kOrgan);  // held from here on; the second and third tones leave
  EXPECT_EQ(kept.pinnedCount(), KeptTones::kTonesKept + 2);
  tidyAfterAWhile();
  EXPECT_EQ(kept.pinnedCount(), KeptTones::kTonesKept);
}

// The kit stays while a drum was what was played or chosen ahead last; once it has gone, a program
// change of the rhythm channel's own chooses in its place.
TEST(RestingKit, StaysAfterADrumAndGivesWayToAProgramChange) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  fluid_synth_t* fluid = synth->synth();
  KeptTones kept(fluid);
  constexpr int kPreparedKitChannel = 14;
  RestingKit kit(fluid, kept, kPreparedKitChannel);
  Send(*synth, {kProgramChange | kRhythmChannel, kTr808});
  kept.chosen(kRhythmChannel);
  kit.wanted(true);
  kit.rest();
  EXPECT_EQ(ProgramOn(fluid, kRhythmChannel), kTr808);
  EXPECT_EQ(kept.pinnedCount(), 1U);
  kit.wanted(false);
  kit.rest();
  EXPECT_EQ(ProgramOn(fluid, kRhythmChannel), -1);
  EXPECT_EQ(kept.pinnedCount(), 0U);
  const std::vector<std::uint8_t> standard{kProgramChange | kRhythmChannel, 0};
  kit.beforeRhythm(standard);
  Send(*synth, standard);
  EXPECT_FALSE(kit.resting());
  EXPECT_EQ(ProgramOn(fluid, kRhythmChannel), 0);
}

}  // namespace
}  // namespace kalvora::test
