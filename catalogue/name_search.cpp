#include "catalogue/name_search.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cctype>
#include <span>
#include <string>

#include "catalogue/abbreviations.h"
#include "catalogue/drum_sets.h"
#include "catalogue/tone_names.h"

namespace kalvora {

namespace {

constexpr std::size_t kMaxAbbreviations = 128;
using AbbreviationSet = std::bitset<kMaxAbbreviations>;

// No name holds it: a character of a query that no name can match.
constexpr char kNoMatch = '\x01';

// Which letters and digits a folded text holds, one bit each: a word whose characters a name
// lacks cannot occur in it, which rules out most names before any comparison.
using CharacterSet = std::uint64_t;
CharacterSet CharactersOf(std::string_view folded) {
  CharacterSet set = 0;
  for (const char c : folded) {
    const int bit = c >= 'a' && c <= 'z' ? c - 'a' : c >= '0' && c <= '9' ? 26 + (c - '0') : 36;
    set |= CharacterSet{1} << bit;
  }
  return set;
}

struct Entry {
  FoundName found;
  std::uint32_t foldedBegin = 0;
  std::uint32_t foldedSize = 0;
  CharacterSet characters = 0;
  AbbreviationSet abbreviations;
};

// A name as the matcher compares it: its letters and digits only, in lower case.
void AppendFolded(std::string_view name, std::string& out) {
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) out += static_cast<char>(std::tolower(u));
  }
}

class NameIndex {
 public:
  NameIndex() {
    const auto abbreviations = Abbreviations();
    for (int map = 0; map < kToneMapCount; ++map) {
      mapBegin_[map] = entries_.size();
      for (int program = 1; program <= kProgramCount; ++program) {
        for (int bank = 0; bank < kBankCount; ++bank) {
          const std::string_view name = ToneName(program, bank, map);
          if (!name.empty()) add({FoundKind::kTone, u8(map), u8(program), u8(bank), 0, name});
        }
      }
      for (const DrumSet& set : DrumSetsOf(map)) {
        add({FoundKind::kDrumSet, set.map, set.program, 0, 0, set.name});
      }
      for (const DrumSet& set : DrumSetsOf(map)) {
        for (const DrumKey& key : KeysOf(set)) {
          add({FoundKind::kDrumKey, set.map, set.program, 0, key.note, key.name});
        }
      }
      mapEnd_[map] = entries_.size();
    }
    for (std::size_t a = 0; a < abbreviations.size() && a < kMaxAbbreviations; ++a) {
      std::string letters;
      AppendFolded(abbreviations[a].written, letters);
      for (Entry& entry : entries_) {
        // Most names lack the letters altogether: a quick look rules them out.
        if (folded(entry).find(letters) == std::string_view::npos) continue;
        entry.abbreviations[a] = UsesAbbreviation(entry.found.name, abbreviations[a]);
      }
    }
  }

  std::span<const Entry> entriesOf(int map) const {
    return std::span(entries_).subspan(mapBegin_[map], mapEnd_[map] - mapBegin_[map]);
  }
  std::string_view folded(const Entry& entry) const {
    return std::string_view(folded_).substr(entry.foldedBegin, entry.foldedSize);
  }

 private:
  static std::uint8_t u8(int value) { return static_cast<std::uint8_t>(value); }

  void add(const FoundName& found) {
    Entry entry{found, static_cast<std::uint32_t>(folded_.size()), 0, 0, {}};
    AppendFolded(found.name, folded_);
    entry.foldedSize = static_cast<std::uint32_t>(folded_.size()) - entry.foldedBegin;
    entry.characters = CharactersOf(folded(entry));
    entries_.push_back(entry);
  }

  std::vector<Entry> entries_;
  std::string folded_;
  std::array<std::size_t, kToneMapCount> mapBegin_{}, mapEnd_{};
};

const NameIndex& TheIndex() {
  static const NameIndex index;
  return index;
}

// One code point of UTF-8 text from position at, which moves past it; -1 for a malformed one.
long NextCodePoint(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0 || lead > 0xF4) return -1;
  long code = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if (at >= text.size() || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) return -1;
    code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  return code;
}

constexpr long kFullWidthFirst = 0xFF01;  // "！"
constexpr long kFullWidthLast = 0xFF5E;   // "～"
constexpr long kFullWidthOffset = 0xFEE0;
constexpr long kIdeographicSpace = 0x3000;

// The words of a query, folded as the names are: each is letters and digits in lower case (and
// kNoMatch for anything no name holds); spaces, tabs and control characters part them.
std::vector<std::string> QueryWords(std::string_view query) {
  std::vector<std::string> words(1);
  for (std::size_t at = 0; at < query.size();) {
    long code = NextCodePoint(query, at);
    if (code >= kFullWidthFirst && code <= kFullWidthLast) code -= kFullWidthOffset;
    if (code == kIdeographicSpace || (code >= 0 && code <= ' ') || code == 0x7F) {
      if (!words.back().empty()) words.emplace_back();
    } else if (code < 0 || code > 0x7F) {
      words.back() += kNoMatch;
    } else if (std::isalnum(static_cast<int>(code))) {
      words.back() += static_cast<char>(std::tolower(static_cast<int>(code)));
    }
  }
  if (words.back().empty()) words.pop_back();
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

// A word of the query with what else it finds: the abbreviations written for it, and the words
// it abbreviates.
struct QueryWord {
  std::string text;
  CharacterSet characters;
  AbbreviationSet abbreviations;
  std::vector<std::string_view> writtenOut;

  explicit QueryWord(std::string word) : text(std::move(word)), characters(CharactersOf(text)) {
    const auto all = Abbreviations();
    for (std::size_t a = 0; a < all.size() && a < kMaxAbbreviations; ++a) {
      const std::string_view meaning = all[a].word;
      if (meaning.empty()) continue;
      // "gui" or "guitar" or "guitars" reads as guitar.
      const bool begun = text.size() >= 3 && meaning.starts_with(text);
      const bool plural = text.starts_with(meaning) && text.size() <= meaning.size() + 2;
      abbreviations[a] = begun || plural;
      std::string letters;
      AppendFolded(all[a].written, letters);
      if (letters == text) writtenOut.push_back(meaning);
    }
  }

  bool foundIn(const Entry& entry, std::string_view folded) const {
    if ((entry.characters & characters) == characters &&
        folded.find(text) != std::string_view::npos) {
      return true;
    }
    if ((entry.abbreviations & abbreviations).any()) return true;
    return std::any_of(writtenOut.begin(), writtenOut.end(), [folded](std::string_view word) {
      return folded.find(word) != std::string_view::npos;
    });
  }
};

// The maps in the map buttons' order: SC-8850 first, GM last.
constexpr std::array<int, kToneMapCount> kMapButtonOrder{4, 3, 2, 1, 0};

}  // namespace

void FindNames(std::string_view query, int currentMap, std::vector<FoundName>& found) {
  found.clear();
  std::vector<QueryWord> words;
  for (std::string& word : QueryWords(query)) words.emplace_back(std::move(word));
  if (words.empty()) return;
  const NameIndex& index = TheIndex();
  auto search = [&](int map) {
    for (const Entry& entry : index.entriesOf(map)) {
      const std::string_view folded = index.folded(entry);
      const bool all = std::all_of(words.begin(), words.end(), [&](const QueryWord& word) {
        return word.foundIn(entry, folded);
      });
      if (all) found.push_back(entry.found);
    }
  };
  const bool known = currentMap >= 0 && currentMap < kToneMapCount;
  if (known) search(currentMap);
  for (const int map : kMapButtonOrder) {
    if (map != currentMap) search(map);
  }
}

}  // namespace kalvora
