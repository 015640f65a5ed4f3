// How many named tones the program's own synth plays with a preset of their own (at their own
// bank, not bank 0's stand-in), map by map, as docs/sound-path.md states it.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>

#include "app/synth_marks.h"
#include "app/system_backends.h"
#include "catalogue/drum_sets.h"
#include "catalogue/preset_names.h"
#include "catalogue/tone_names.h"
#include "fluidsynth_test_support.h"
#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/synth_presets.h"
#include "midi/midi_bytes.h"
#include "play/voice_state.h"

namespace kalvora::test {
namespace {

constexpr std::array<const char*, kToneMapCount> kMapNames{"GM", "SC-55 map", "SC-88 map",
                                                           "SC-88Pro map", "SC-8850 map"};
constexpr const char* kAllMaps = "All maps";

// The fonts as the program stacks them, without the user's own.
std::unique_ptr<SynthCore> ProgramSynth() {
  FluidSynthOptions options = ProgramSynthOptions();
  auto fonts = FindSoundFonts(options.soundFontFolders);
  if (!fonts || !fonts->filler || !fonts->overlay) return nullptr;
  fonts->fillerCheck = options.fillerCheck;
  auto synth = SynthCore::create();
  if (!synth || !synth->loadSoundFonts(*fonts)) return nullptr;
  return synth;
}

// The preset the synth takes for bank and program: the first font from the top that has it.
fluid_preset_t* OwnPreset(SynthCore& synth, int program, int bank) {
  for (int i = 0; i < fluid_synth_sfcount(synth.synth()); ++i) {
    fluid_sfont_t* font = fluid_synth_get_sfont(synth.synth(), static_cast<unsigned>(i));
    if (fluid_preset_t* preset = fluid_sfont_get_preset(font, bank, program - 1)) return preset;
  }
  return nullptr;
}

// The figure in the sound-path chapter's coverage table for a row: "| name | named | own preset |".
int ChapterFigure(const std::string& row) {
  std::ifstream chapter(KALVORA_SOUND_PATH);
  std::string line;
  while (std::getline(chapter, line)) {
    if (line.rfind("| " + row + " |", 0) != 0) continue;
    std::stringstream cells(line);
    std::string cell;
    for (int i = 0; i < 4; ++i) std::getline(cells, cell, '|');
    std::erase(cell, ',');
    return std::stoi(cell);
  }
  return -1;
}

TEST(SynthCoverage, NamedTonesWithAPresetOfTheirOwnAreAsTheSoundPathSays) {
  FillToneNames();
  auto synth = ProgramSynth();
  if (!synth) GTEST_SKIP() << "the FluidR3 and csound SoundFonts are not installed";
  std::array<int, kToneMapCount> own{};
  int total = 0;
  for (int program = 1; program <= kProgramCount; ++program) {
    for (int bank = 0; bank < kBankCount; ++bank) {
      fluid_preset_t* preset = OwnPreset(*synth, program, bank);
      for (int map = 0; map < kToneMapCount; ++map) {
        if (ToneName(program, bank, map).empty() || preset == nullptr) continue;
        ++own[map];
        ++total;
      }
    }
  }
  for (int map = 0; map < kToneMapCount; ++map) {
    EXPECT_EQ(own[map], ChapterFigure(kMapNames[map])) << kMapNames[map];
  }
  EXPECT_EQ(total, ChapterFigure(kAllMaps));
}

// The filler puts "Big Notes Pad" where the SC-55 map has "OneNote Jam": a different
// instrument, so the synth plays bank 0's tone there, as for any bank it lacks; its MT-32 bank
// otherwise plays as named.
TEST(SynthCoverage, TheFillerPlaysOnlyWhereItIsTheNamedInstrument) {
  FillToneNames();
  auto synth = ProgramSynth();
  if (!synth) GTEST_SKIP() << "the FluidR3 and csound SoundFonts are not installed";
  auto select = [&](int program, int bank) {
    const std::array<std::uint8_t, 3> bankSelect{kControlChange, kControlBankMsb,
                                                 static_cast<std::uint8_t>(bank)};
    const std::array<std::uint8_t, 3> map{kControlChange, kControlBankLsb, kMapSc8850};
    const std::array<std::uint8_t, 2> change{kProgramChange,
                                             static_cast<std::uint8_t>(program - 1)};
    synth->sendShort(bankSelect);
    synth->sendShort(map);
    synth->sendShort(change);
    fluid_preset_t* preset = fluid_synth_get_channel_preset(synth->synth(), 0);
    return preset != nullptr ? fluid_preset_get_banknum(preset) : -1;
  };
  constexpr int kMt32Bank = 127;
  EXPECT_EQ(select(126, kMt32Bank), 0);
  EXPECT_EQ(select(1, kMt32Bank), kMt32Bank);
  EXPECT_FALSE(PresetFitsToneSlot(126, kMt32Bank, "Big Notes Pad"));
  EXPECT_TRUE(PresetFitsToneSlot(9, kMt32Bank, "Elec Organ 1"));   // the table's "Elec Org 1"
  EXPECT_TRUE(PresetFitsToneSlot(128, kMt32Bank, "Jungle Tune"));  // the table's "Jugle Tune"
  EXPECT_TRUE(PresetFitsToneSlot(28, 8, "Chorused guitar"));       // the table's "Chorus Gt."
  EXPECT_FALSE(PresetFitsToneSlot(28, 8, "Funk Guitar"));
  EXPECT_TRUE(PresetFitsToneSlot(1, 100, "Anything"));  // no map names a tone there
}

constexpr int kKitBank = 128;

// Chooses the drum set on the rhythm channel as a press on the drum page does; the kit the synth
// then plays, or null.
fluid_preset_t* ChooseDrumSet(SynthCore& synth, int map, int program) {
  constexpr std::uint8_t kControl = kControlChange | kRhythmChannel;
  const std::array<std::uint8_t, 3> msb{kControl, kControlBankMsb, 0};
  const std::array<std::uint8_t, 3> lsb{kControl, kControlBankLsb, static_cast<std::uint8_t>(map)};
  const std::array<std::uint8_t, 2> change{kProgramChange | kRhythmChannel,
                                           static_cast<std::uint8_t>(program - 1)};
  synth.sendShort(msb);
  synth.sendShort(lsb);
  synth.sendShort(change);
  return fluid_synth_get_channel_preset(synth.synth(), kRhythmChannel);
}

// "| SC-55 map drum sets | 10 | 10 | STANDARD, ROOM |": the cells of a row of the sound-path
// chapter's drum-set table, its name first.
std::vector<std::string> ChapterRow(const std::string& row) {
  std::ifstream chapter(KALVORA_SOUND_PATH);
  std::string line;
  while (std::getline(chapter, line)) {
    if (line.rfind("| " + row + " |", 0) != 0) continue;
    std::vector<std::string> cells;
    std::stringstream stream(line.substr(2));
    for (std::string cell; std::getline(stream, cell, '|');) {
      cell.erase(0, cell.find_first_not_of(' '));
      cell.erase(cell.find_last_not_of(' ') + 1);
      cells.push_back(cell);
    }
    return cells;
  }
  return {};
}

// Every set a map has plays a kit: its own where the stack has one at its program, else the
// standard kit at program 1; the sound-path chapter says which play as themselves.
TEST(SynthCoverage, DrumSetsPlayTheirOwnKitOrTheStandardOneAsTheSoundPathSays) {
  FillToneNames();
  auto synth = ProgramSynth();
  if (!synth) GTEST_SKIP() << "the FluidR3 and csound SoundFonts are not installed";
  ChooseDrumSet(*synth, 0, 1);  // the rhythm channel's first message brings the kits in
  for (int map = 0; map < kToneMapCount; ++map) {
    int own = 0;
    std::string themselves;
    for (const DrumSet& set : DrumSetsOf(map)) {
      fluid_preset_t* kit = OwnPreset(*synth, set.program, kKitBank);
      fluid_preset_t* played = ChooseDrumSet(*synth, map, set.program);
      ASSERT_NE(played, nullptr) << set.name;
      EXPECT_EQ(fluid_preset_get_banknum(played), kKitBank) << set.name;
      EXPECT_EQ(fluid_preset_get_num(played), kit != nullptr ? set.program - 1 : 0) << set.name;
      own += kit != nullptr;
      if (kit != nullptr && NamesSameDrumSet(set.name, fluid_preset_get_name(kit))) {
        themselves += (themselves.empty() ? "" : ", ") + std::string(set.name);
      }
    }
    const auto row = ChapterRow(std::string(kMapNames[map]) + " drum sets");
    ASSERT_EQ(row.size(), 4u) << kMapNames[map];  // the map's name, then three cells
    EXPECT_EQ(row[1], std::to_string(DrumSetsOf(map).size())) << kMapNames[map];
    EXPECT_EQ(row[2], std::to_string(own)) << kMapNames[map];
    EXPECT_EQ(row[3], themselves) << kMapNames[map];
  }
  EXPECT_TRUE(NamesSameDrumSet("ORCHESTRA", "Orchestra Kit"));
  EXPECT_TRUE(NamesSameDrumSet("TR-808", "TR 808"));
  EXPECT_FALSE(NamesSameDrumSet("STANDARD 2", "Standard 1"));
}

// The marks the window shows on the built-in synth, read from the fonts' preset headers, say "○"
// exactly where the loaded synth has a preset of its own (the count above), and otherwise name
// bank 0's tone, which it plays instead; a drum set is "○" where its kit bears its name.
TEST(SynthCoverage, TheMarksSayWhatTheSynthPlays) {
  FillToneNames();
  auto synth = ProgramSynth();
  if (!synth) GTEST_SKIP() << "the FluidR3 and csound SoundFonts are not installed";
  FluidSynthOptions options = ProgramSynthOptions();
  auto fonts = FindSoundFonts(options.soundFontFolders);
  fonts->fillerCheck = options.fillerCheck;
  const SynthPresets presets = SynthPresets::read(*fonts);
  int own = 0;
  for (int program = 1; program <= kProgramCount; ++program) {
    for (int bank = 0; bank < kBankCount; ++bank) {
      const bool preset = OwnPreset(*synth, program, bank) != nullptr;
      for (int map = 0; map < kToneMapCount; ++map) {
        if (ToneName(program, bank, map).empty()) continue;
        const std::string expected = preset ? "○" : "→ " + std::string(ToneName(program, 0, map));
        EXPECT_EQ(ToneMark(presets, map, program, bank), expected)
            << "map " << map << " program " << program << " bank " << bank;
        own += preset;
      }
    }
  }
  EXPECT_EQ(own, ChapterFigure(kAllMaps));
  EXPECT_EQ(ToneMark(presets, kMapSc8850, 1, 0), "○");          // Piano 1
  EXPECT_EQ(ToneMark(presets, kMapSc8850, 1, 1), "→ Piano 1");  // UprightPiano
  EXPECT_EQ(ToneMark(presets, kMapSc8850, 1, 3), "");           // no tone there

  ChooseDrumSet(*synth, 0, 1);  // the rhythm channel's first message brings the kits in
  for (const DrumSet& set : AllDrumSets()) {
    fluid_preset_t* kit = OwnPreset(*synth, set.program, kKitBank);
    const std::string played =
        fluid_preset_get_name(kit != nullptr ? kit : OwnPreset(*synth, 1, kKitBank));
    const bool itself = kit != nullptr && NamesSameDrumSet(set.name, played);
    EXPECT_EQ(DrumSetMark(presets, set), itself ? "○" : "→ " + played) << set.name;
  }
}

// Each kit of the stack's kit bank sounds at the first, a middle and the last key of a set at its
// program (the GM set's where no map has one there), rendered offline.
TEST(SynthCoverage, EveryKitSoundsAtThreeKeysOfItsSet) {
  FillToneNames();
  auto synth = ProgramSynth();
  if (!synth) GTEST_SKIP() << "the FluidR3 and csound SoundFonts are not installed";
  ChooseDrumSet(*synth, 0, 1);  // the rhythm channel's first message brings the kits in
  int kits = 0;
  for (int program = 1; program <= kProgramCount; ++program) {
    if (OwnPreset(*synth, program, kKitBank) == nullptr) continue;
    ++kits;
    const DrumSet* set = FindDrumSet(kMapGm, 1);
    for (int map = kToneMapCount - 1; map >= 0; --map) {
      if (const DrumSet* found = FindDrumSet(map, program)) set = found;
    }
    ASSERT_NE(ChooseDrumSet(*synth, set->map, program), nullptr);
    const auto keys = KeysOf(*set);
    for (const DrumKey& key : {keys.front(), keys[keys.size() / 2], keys.back()}) {
      synth->silence();
      Render(*synth, 20);
      const std::array<std::uint8_t, 3> on{kNoteOn | kRhythmChannel, key.note, 100};
      synth->sendShort(on);
      EXPECT_GT(PeakDb(Render(*synth, 150)), -45.0)
          << "kit at program " << program << ", key " << int{key.note} << " " << key.name;
    }
  }
  EXPECT_EQ(kits, 33);
}

}  // namespace
}  // namespace kalvora::test
