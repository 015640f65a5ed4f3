// The settings file held in memory: sections of lines, read and written as integers by name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora {

struct IniSection {
  std::string name;
  // "key=value" entries (key and value trimmed) and lines without "=", in file order.
  std::vector<std::string> lines;
};

class IniFile {
 public:
  // Reads the text of a settings file. CR LF, a lone CR or a lone LF end a line; a NUL byte ends
  // the text. Each line is trimmed of blanks and control characters; empty lines, lines starting
  // with ";" and lines before the first "[section]" are dropped. Bytes above 0x7F pass unchanged.
  static IniFile parse(std::string_view text);

  // The value of key in section (both matched ignoring ASCII case), or fallback when the entry is
  // missing or does not read as a 32-bit integer (see ParseIniInteger).
  std::int32_t readInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const;

  // Stores value as decimal text. A missing section is added at the end under the name as given; an
  // existing one keeps its name. An existing entry becomes "key as given=value" in place, a new one
  // goes at the end of its section. Names that would not read back the same after a save (line
  // breaks, NUL, surrounding blanks, "=" in a key, a key starting with ";") are refused: false.
  bool writeInteger(std::string_view section, std::string_view key, std::int32_t value);

  // The file text: for each section "[name]", its lines, one empty line; every line ends CR LF.
  std::string serialize() const;

  const std::vector<IniSection>& sections() const { return sections_; }

 private:
  const IniSection* findSection(std::string_view name) const;
  IniSection* findSection(std::string_view name);

  std::vector<IniSection> sections_;
};

}  // namespace kalvora
