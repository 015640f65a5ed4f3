// Feeds arbitrary bytes to the settings reader and checks that whatever it makes of them, and
// whatever the program writes into it, reads back the same after a save.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/settings/ini_file.h"

namespace {

using kalvora::IniFile;

constexpr std::int32_t kMissingA = -0x5A5A5A5A;
constexpr std::int32_t kMissingB = 0x3C3C3C3C;
constexpr std::size_t kMaxProbedEntries = 64;
constexpr std::size_t kTailNameBytes = 8;
constexpr std::size_t kProgramEntries = 6;
constexpr std::size_t kWriteEvery = 3;

struct Name {
  std::string section, key;
};

// The entry's value, or nothing when the reader does not find or does not take it: two distinct
// fallbacks tell a stored number from a fallback.
std::pair<bool, std::int32_t> Probe(const IniFile& ini, const Name& n) {
  const std::int32_t a = ini.readInteger(n.section, n.key, kMissingA);
  const std::int32_t b = ini.readInteger(n.section, n.key, kMissingB);
  return {a == b, a};
}

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string FlipAsciiCase(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::pair<std::string, std::string> Folded(const Name& n) {
  return {Lower(n.section), Lower(n.key)};
}

std::int32_t ValueFrom(std::string_view bytes, std::size_t salt) {
  // FNV-1a: any spread of values will do, as long as the same input writes the same ones.
  constexpr std::uint32_t kFnvOffset = 2166136261u;
  constexpr std::uint32_t kFnvPrime = 16777619u;
  std::uint32_t h = kFnvOffset ^ static_cast<std::uint32_t>(salt);
  for (unsigned char c : bytes) h = (h ^ c) * kFnvPrime;
  return static_cast<std::int32_t>(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::parse(bytes);

  // Every entry the file holds, once as stored and once in the other letter case.
  std::vector<Name> names = {{"window", "Height"}, {"window", "Width"}, {"window", "Top"},
                             {"window", "Left"},   {"Dev", "Dev_num"},  {"dev", "map"}};
  for (const auto& section : ini.sections()) {
    for (const std::string& line : section.lines) {
      if (names.size() >= kMaxProbedEntries) break;
      const auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      names.push_back({section.name, line.substr(0, eq)});
      names.push_back({FlipAsciiCase(section.name), FlipAsciiCase(line.substr(0, eq))});
    }
  }
  // Names made of raw input bytes, which WriteInteger may refuse.
  const std::string_view tail =
      bytes.substr(bytes.size() > kTailNameBytes ? bytes.size() - kTailNameBytes : 0);
  names.push_back(
      {std::string(tail.substr(0, tail.size() / 2)), std::string(tail.substr(tail.size() / 2))});

  std::vector<std::pair<bool, std::int32_t>> before;
  for (const Name& n : names) before.push_back(Probe(ini, n));

  // Write the program's entries, every third probed one and the raw one; remember the last value
  // per entry, named the way the reader matches names (ASCII case folded).
  std::map<std::pair<std::string, std::string>, std::int32_t> lastWritten;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i >= kProgramEntries && i % kWriteEvery != 0 && i + 1 != names.size()) continue;
    const std::int32_t value = ValueFrom(bytes, i);
    if (!ini.writeInteger(names[i].section, names[i].key, value)) continue;
    Check(Probe(ini, names[i]) == std::make_pair(true, value));
    lastWritten[Folded(names[i])] = value;
  }

  const std::string text = ini.serialize();
  const IniFile again = IniFile::parse(text);
  // A save loses nothing: every section and line comes back as it was held.
  Check(again.sections().size() == ini.sections().size());
  for (std::size_t i = 0; i < ini.sections().size(); ++i) {
    Check(again.sections()[i].name == ini.sections()[i].name);
    Check(again.sections()[i].lines == ini.sections()[i].lines);
  }
  Check(again.serialize() == text);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto it = lastWritten.find(Folded(names[i]));
    const auto expected = it == lastWritten.end() ? before[i] : std::make_pair(true, it->second);
    Check(Probe(ini, names[i]) == expected);
    Check(Probe(again, names[i]) == expected);
  }
  return 0;
}
