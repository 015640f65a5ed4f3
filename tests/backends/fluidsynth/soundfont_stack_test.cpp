// The synth's SoundFont stack with fonts the tests write: the user's own fonts over the packaged
// ones, the files that are no fonts left out quietly, and a key outside every zone stretched.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>

#include "fluidsynth_test_support.h"
#include "midi/backends/fluidsynth/engine/soundfont_patch.h"
#include "midi/backends/fluidsynth/engine/soundfont_view.h"
#include "midi/backends/fluidsynth/fluidsynth_backend.h"
#include "midi/backends/fluidsynth/synth_presets.h"
#include "support/sound_font_writer.h"
#include "support/stderr_capture.h"
#include "support/temp_folder.h"

namespace kalvora::test {
namespace {

namespace fs = std::filesystem;

// Sets XDG_DATA_HOME for the test's length.
class DataHome {
 public:
  explicit DataHome(const fs::path& path) {
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_ = old;
    setenv("XDG_DATA_HOME", path.c_str(), 1);
  }
  ~DataHome() {
    if (old_) {
      setenv("XDG_DATA_HOME", old_->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }

 private:
  std::optional<std::string> old_;
};

// Every way a file in the user's folder can fail to be a SoundFont.
void WriteBadFiles(const TempFolder& folder, const std::string& sub) {
  WriteTextFile(folder, sub + "/a-text.sf2");
  folder.write(sub + "/b-empty.sf2", "");
  const std::string good = SoundFontBytes({{"Cut", 0, 0}});
  folder.write(sub + "/c-truncated.sf2", std::string_view(good).substr(0, good.size() / 2));
  fs::create_directories(folder.path() / sub / "d-folder.sf2");
  fs::create_symlink(folder.path() / "gone.sf2", folder.path() / sub / "e-dangling.sf2");
  mkfifo((folder.path() / sub / "f-pipe.sf2").c_str(), 0600);       // opening it would block
  chmod(folder.write(sub + "/g-unreadable.sf2", good).c_str(), 0);  // root still reads it
}

TEST(SoundFontSearch, TheFillerGoesUnderTheBaseUnlessItIsTheBase) {
  TempFolder folder;
  EXPECT_FALSE(FindSoundFonts({folder.path()})) << "the filler alone is no base";
  const fs::path filler = WriteFakeFont(folder, "sf_GMbank.sf2");
  EXPECT_FALSE(FindSoundFonts({folder.path()}));
  fs::create_symlink(filler, folder.path() / "default-GM.sf2");
  auto found = FindSoundFonts({folder.path()});
  ASSERT_TRUE(found);
  EXPECT_FALSE(found->filler) << "the system's default is the filler itself";
  WriteFakeFont(folder, "FluidR3_GM.sf2");
  found = FindSoundFonts({folder.path()});
  ASSERT_TRUE(found);
  EXPECT_EQ(found->base, folder.path() / "FluidR3_GM.sf2");
  EXPECT_EQ(found->filler, filler);
}

TEST(UserSoundFonts, FoundInNameOrderWithoutTheFilesThatAreNoFonts) {
  TempFolder home;
  WriteSoundFont(home.path() / "b.sf2", {{"B", 0, 0}});
  fs::create_directories(home.path() / "one");
  fs::create_directories(home.path() / "two");
  WriteSoundFont(home.path() / "one/m.SF3", {{"M", 0, 0}});
  WriteSoundFont(home.path() / "one/z.sf2", {{"Z", 0, 0}});
  WriteSoundFont(home.path() / "one/font.txt", {{"T", 0, 0}});
  WriteSoundFont(home.path() / "two/a.sf2", {{"A", 0, 0}});
  WriteSoundFont(home.path() / "two/z.sf2", {{"Z2", 0, 0}});  // the first folder's z wins
  fs::create_symlink(home.path() / "b.sf2", home.path() / "two/link.sf2");
  WriteBadFiles(home, "one");
  const auto found =
      FindUserSoundFonts({home.path() / "one", home.path() / "missing", home.path() / "two"});
  const fs::path one = home.path() / "one", two = home.path() / "two";
  // The truncated file has a SoundFont's header: the search keeps it, the load leaves it out.
  const std::vector<fs::path> expected{
      two / "a.sf2",    one / "c-truncated.sf2", one / "g-unreadable.sf2",
      two / "link.sf2", one / "m.SF3",           one / "z.sf2"};
  EXPECT_EQ(found, expected);
}

// A user's font with a bank the packaged stack lacks is the one that plays there; the bad files
// beside it are left out without a word, and the device still opens.
TEST(UserSoundFonts, AUserFontFillsABankTheStackLacks) {
  auto fonts = InstalledFluidFonts();
  if (!fonts) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  TempFolder data;
  DataHome home(data.path());
  constexpr int kOrgan = 17, kFreeBank = 2;  // "Ful Organ 1": no packaged font has it
  fs::create_directories(data.path() / "soundfonts");
  WriteSoundFont(data.path() / "soundfonts/mine.sf2", {{"Kalvora Sine", kFreeBank, kOrgan - 1}});
  WriteBadFiles(data, "soundfonts");

  StderrCapture capture;
  FluidSynthBackend backend(FluidSynthOptions{DefaultSoundFontFolders(), NullAudio()});
  ASSERT_EQ(backend.portNames().size(), 1u);
  EXPECT_EQ(backend.open(0).status, OpenStatus::kOpened);

  fonts->user = FindUserSoundFonts(DefaultUserSoundFontFolders());
  auto synth = SynthCore::create();
  ASSERT_TRUE(synth->loadSoundFonts(*fonts));
  EXPECT_EQ(capture.finish(), "");
  auto presetName = [&] {
    fluid_preset_t* preset = fluid_synth_get_channel_preset(synth->synth(), 0);
    return std::string(preset != nullptr ? fluid_preset_get_name(preset) : "");
  };
  SendPress(*synth, {.program = kOrgan, .bank = kFreeBank});
  EXPECT_EQ(presetName(), "Kalvora Sine");
  EXPECT_GT(PeakDb(Render(*synth, 100)), -30.0);
  SendPress(*synth, {.program = kOrgan, .bank = 0});
  EXPECT_NE(presetName(), "Kalvora Sine") << "a user font only adds where it has the bank";
}

long PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Fonts whose header is a SoundFont's but whose preset data claims more than the file holds or
// than any SoundFont has: each is left out before anything reads the claim, and the synth
// opens with the rest. Reading the claim took gigabytes and tens of seconds.
TEST(UserSoundFonts, AChunkClaimingMoreThanAFontCanHoldIsLeftOutUnread) {
  constexpr std::uint64_t kTwoGigabytes = 2ULL << 30;
  constexpr std::uint64_t kSixtyFourMegabytes = 64ULL << 20;
  struct Case {
    const char* name;
    std::uint64_t claim;
    std::uint64_t fileBytes;  // 0: as long as the font's own bytes
  };
  const std::size_t ownBytes = SoundFontBytes({{"Damaged", 0, 0}}).size();
  const std::vector<Case> cases{
      {"beyond the end of a small file", 0xFFFFFFF0u, 0},
      {"all the rest of a 2 GB sparse file", kClaimToTheEnd, kTwoGigabytes},
      {"4 GB, the most a size can say, in a 2 GB file", 0xFFFFFFFFu, kTwoGigabytes},
      {"all the rest of a 64 MB file", kClaimToTheEnd, kSixtyFourMegabytes},
  };
  TempFolder folder;
  const fs::path base = folder.path() / "base.sf2";
  WriteSoundFont(base, {{"Kalvora Sine", 0, 0}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path damaged = folder.path() / "damaged.sf2";
    WriteSoundFontClaiming(damaged, {{"Damaged", 0, 0}}, c.claim,
                           c.fileBytes != 0 ? c.fileBytes : ownBytes);
    EXPECT_FALSE(HasReadableLayout(damaged));
    EXPECT_TRUE(ReadPresetSlots(damaged).empty());

    const long peakBefore = PeakResidentMegabytes();
    auto synth = SynthCore::create();
    SoundFontSet fonts;
    fonts.base = base;
    fonts.filler = damaged;  // the filler's search reads the fonts above it too
    fonts.user = {damaged};
    StderrCapture capture;
    ASSERT_TRUE(synth->loadSoundFonts(fonts));
    EXPECT_EQ(capture.finish(), "");
    // The window's synth marks read the same stack's preset headers, and leave it out too.
    const SynthPresets presets = SynthPresets::read(fonts);
    ASSERT_NE(presets.find(0, 1), nullptr);
    EXPECT_EQ(*presets.find(0, 1), "Kalvora Sine");
    EXPECT_LT(PeakResidentMegabytes() - peakBefore, 32) << "the claim was read";
    SendPress(*synth, {.program = 1});
    EXPECT_GT(PeakDb(Render(*synth, 100)), -30.0) << "the base font plays";
  }
}

// Every tone plays on the first channel, a melodic one: no drum kit is ever chosen, so none
// loads its samples at a reset (FluidR3's standard kit would take 11 MB).
TEST(SoundFontStack, NoDrumKitIsChosenAtAReset) {
  auto synth = LoadedSynth();
  if (!synth) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  SendGsReset(*synth);
  constexpr int kDrumChannel = 9;
  EXPECT_EQ(fluid_synth_get_channel_preset(synth->synth(), kDrumChannel), nullptr);
  SendPress(*synth, {.program = 1});
  EXPECT_GT(PeakDb(Render(*synth, 100)), -30.0);
}

// The frequency of a steady tone, from its rising zero crossings.
double Hz(const Sound& sound) {
  std::size_t first = 0, last = 0, crossings = 0;
  for (std::size_t i = sound.size() / 4; i + 1 < sound.size(); ++i) {
    if (sound.left[i] <= 0 && sound.left[i + 1] > 0) {
      if (crossings++ == 0) first = i;
      last = i;
    }
  }
  return crossings < 2 ? 0 : (crossings - 1) * kSynthSampleRate / double(last - first);
}

// Zones 60-64 and 70-72 on one preset; a soft (1-40) and a loud (90-127) layer on another.
TEST(ZoneStretching, AKeyOrVelocityOutsideEveryZonePlaysTheNearestZoneAtItsOwnPitch) {
  TempFolder folder;
  const fs::path font = folder.path() / "gaps.sf2";
  WriteSoundFont(font,
                 {{"Key gaps", 0, 0, {{.keys = {60, 64}}, {.keys = {70, 72}}}},
                  {"Velocity gaps", 0, 1, {{.velocities = {1, 40}}, {.velocities = {90, 127}}}}});
  auto synth = SynthCore::create();
  SoundFontSet fonts;
  fonts.base = font;
  ASSERT_TRUE(synth->loadSoundFonts(fonts));
  struct Case {
    int program, key, velocity;
  };
  std::vector<Case> cases;
  for (int key : {0, 30, 59, 62, 66, 67, 68, 69, 73, 90, 127}) cases.push_back({1, key, 100});
  for (int velocity : {1, 40, 41, 64, 65, 66, 89, 127}) cases.push_back({2, 69, velocity});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "program " << c.program << " key " << c.key << " velocity " << c.velocity);
    const Voice voice{.program = c.program, .note = c.key, .velocity = c.velocity, .reverb = 0};
    SendPress(*synth, voice);
    EXPECT_EQ(fluid_synth_get_active_voice_count(synth->synth()), 1) << "one zone, no layering";
    const Sound sound = Render(*synth, 300);
    // The format's velocity curve all but silences the lowest velocities: their zone is what
    // counts.
    constexpr int kQuietVelocity = 32;
    if (c.velocity >= kQuietVelocity) {
      EXPECT_GT(PeakDb(sound), -50.0);
    }
    const double expected = kTestSineHz * std::pow(2.0, (c.key - kTestSineRootKey) / 12.0);
    if (expected < 4000) {
      EXPECT_NEAR(Hz(sound) / expected, 1.0, 0.02);
    }
    SendRelease(*synth, voice);
    Render(*synth, 300);
    EXPECT_EQ(fluid_synth_get_active_voice_count(synth->synth()), 0);
  }
  // A stretched note ends at all-notes-off and at the device's reset as any other does.
  const Voice stretched{.note = 30, .reverb = 0};
  for (const bool allNotesOff : {true, false}) {
    SendPress(*synth, stretched);
    if (allNotesOff) {
      Send(*synth, {kControlChange, kControlAllNotesOff, 0});
    } else {
      synth->silence();
    }
    Render(*synth, 300);
    EXPECT_EQ(fluid_synth_get_active_voice_count(synth->synth()), 0) << allNotesOff;
  }
}

// Preset data as a damaged or hostile file may hold it: every byte changed in turn, the patch
// must neither read nor write outside the chunk (the sanitizer build watches).
TEST(ZoneStretching, DamagedPresetDataIsLeftAloneOrPatchedSafely) {
  const std::string bytes =
      SoundFontBytes({{"One", 0, 0, {{.keys = {60, 64}}, {.keys = {70, 72}}}}, {"Two", 8, 1}});
  const std::string pdta = bytes.substr(bytes.find("pdta") + 4);
  auto data = [](std::string& text) {
    return std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
  };
  std::string intact = pdta;
  ASSERT_TRUE(WidenZoneRanges(data(intact)));
  ASSERT_TRUE(HidePresets(data(intact), [](int, int bank, std::string_view) { return bank == 0; }));
  EXPECT_NE(intact, pdta);
  for (std::size_t i = 0; i < pdta.size(); ++i) {
    for (const char value : {'\0', '\xFF', static_cast<char>(pdta[i] + 1)}) {
      std::string damaged = pdta;
      damaged[i] = value;
      WidenZoneRanges(data(damaged));
      HidePresets(data(damaged), [](int, int, std::string_view) { return false; });
      std::string cut = pdta.substr(0, i);
      WidenZoneRanges(data(cut));
    }
  }
}

}  // namespace
}  // namespace kalvora::test
