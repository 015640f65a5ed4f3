#include "catalogue/preset_names.h"

#include <array>
#include <cctype>
#include <string>
#include <utility>

#include "catalogue/tone_names.h"

namespace kalvora {

namespace {

// Short forms in tone lists and SoundFonts, each with the word it stands for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kWords{{
    {"org", "organ"},
    {"gt", "guitar"},
    {"gtr", "guitar"},
    {"harpsi", "harpsichord"},
    {"clav", "clavinet"},
    {"clavi", "clavinet"},
    {"syn", "synth"},
    {"str", "string"},
    {"sect", "section"},
    {"brs", "brass"},
    {"fr", "french"},
    {"engl", "english"},
    {"orche", "orchestral"},
    {"chorused", "chorus"},
}};
// Marks a font adds to a name without changing the instrument.
constexpr std::string_view kFontMark = "mt";

// Pairs of names that differ in writing only, reviewed by ear and by name: the table keeps the
// module's own spelling.
constexpr std::array<std::pair<std::string_view, std::string_view>, 1> kSameInstrument{{
    {"Jugle Tune", "Jungle Tune"},
}};

// Kits a font names after the module the set comes from, without the model's last letter.
constexpr std::array<std::pair<std::string_view, std::string_view>, 1> kSameDrumSet{{
    {"CM-64/32L", "CM-64/32"},
}};
constexpr std::array<std::string_view, 2> kKitWords{" Kit", " Set"};

std::string_view LongForm(std::string_view word) {
  for (const auto& [shortForm, longForm] : kWords) {
    if (word == shortForm) return longForm;
  }
  return word;
}

// The name as one run of lower-case words written out, split where letters meet digits.
std::string Normalised(std::string_view name) {
  std::string result, word;
  auto flush = [&] {
    std::string written(word == kFontMark ? std::string_view() : LongForm(word));
    if (written.size() > 1 && written.back() == 's' &&
        std::isalpha(static_cast<unsigned char>(written[0]))) {
      written.pop_back();  // plural and singular name one instrument: Vibes, Vibe
    }
    result += written;
    word.clear();
  };
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u)) {
      flush();
      continue;
    }
    if (!word.empty() && std::isdigit(u) != std::isdigit(static_cast<unsigned char>(word.back()))) {
      flush();
    }
    word += static_cast<char>(std::tolower(u));
  }
  flush();
  return result;
}

}  // namespace

bool NamesSameInstrument(std::string_view toneName, std::string_view presetName) {
  for (const auto& [a, b] : kSameInstrument) {
    if ((toneName == a && presetName == b) || (toneName == b && presetName == a)) return true;
  }
  return Normalised(toneName) == Normalised(presetName);
}

bool NamesSameDrumSet(std::string_view setName, std::string_view kitName) {
  for (const std::string_view word : kKitWords) {
    if (kitName.ends_with(word)) kitName.remove_suffix(word.size());
  }
  for (const auto& [set, kit] : kSameDrumSet) {
    if (setName == set && kitName == kit) return true;
  }
  return NamesSameInstrument(setName, kitName);
}

bool PresetFitsToneSlot(int program, int bank, std::string_view presetName) {
  bool named = false;
  for (int map = 0; map < kToneMapCount; ++map) {
    const std::string_view tone = ToneName(program, bank, map);
    if (tone.empty()) continue;
    if (NamesSameInstrument(tone, presetName)) return true;
    named = true;
  }
  return !named;
}

}  // namespace kalvora
