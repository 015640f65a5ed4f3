#include "app/settings/ini_file.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/settings/ini_number.h"

namespace kalvora {

namespace {

constexpr char kCommentStart = ';';
constexpr char kSectionOpen = '[';
constexpr char kSectionClose = ']';
constexpr char kEquals = '=';
constexpr std::string_view kLineEnd = "\r\n";
constexpr unsigned char kLastBlank = 0x20;  // space and every control character below it
constexpr unsigned char kDelete = 0x7F;

bool IsTrimmed(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= kLastBlank || u == kDelete;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

// The key of an entry line, or nothing for a line without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
  const auto eq = line.find(kEquals);
  if (eq == std::string_view::npos) return std::nullopt;
  return line.substr(0, eq);
}

// The first entry of lines whose key matches, or lines.end().
template <typename Lines>
auto FindEntry(Lines& lines, std::string_view key) {
  return std::find_if(lines.begin(), lines.end(), [key](const std::string& line) {
    const auto k = KeyOf(line);
    return k && EqualsIgnoringCase(*k, key);
  });
}

// A name survives save and reload only if it is one trimmed line.
bool IsStorableName(std::string_view name) {
  return Trim(name) == name && name.find_first_of(std::string_view("\r\n\0", 3)) == name.npos;
}

bool IsStorableKey(std::string_view key) {
  return IsStorableName(key) && key.find(kEquals) == key.npos &&
         (key.empty() || key.front() != kCommentStart);
}

// Calls f for each line of text: CR LF, CR or LF end a line, NUL ends the text.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
  text = text.substr(0, text.find('\0'));
  while (!text.empty()) {
    const auto end = text.find_first_of("\r\n");
    if (end == text.npos) {
      f(text);
      return;
    }
    f(text.substr(0, end));
    const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crlf ? 2 : 1));
  }
}

}  // namespace

IniFile IniFile::parse(std::string_view text) {
  IniFile ini;
  ForEachLine(text, [&ini](std::string_view raw) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == kCommentStart) return;
    if (line.size() >= 2 && line.front() == kSectionOpen && line.back() == kSectionClose) {
      ini.sections_.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
      return;
    }
    if (ini.sections_.empty()) return;
    auto& lines = ini.sections_.back().lines;
    const auto eq = line.find(kEquals);
    if (eq == line.npos) {
      lines.emplace_back(line);
      return;
    }
    std::string entry(Trim(line.substr(0, eq)));
    entry += kEquals;
    entry += Trim(line.substr(eq + 1));
    lines.push_back(std::move(entry));
  });
  return ini;
}

const IniSection* IniFile::findSection(std::string_view name) const {
  const auto it = std::find_if(sections_.begin(), sections_.end(), [name](const IniSection& s) {
    return EqualsIgnoringCase(s.name, name);
  });
  return it == sections_.end() ? nullptr : &*it;
}

IniSection* IniFile::findSection(std::string_view name) {
  return const_cast<IniSection*>(std::as_const(*this).findSection(name));
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t fallback) const {
  const IniSection* s = findSection(section);
  if (s == nullptr) return fallback;
  const auto it = FindEntry(s->lines, key);
  if (it == s->lines.end()) return fallback;
  return ParseIniInteger(std::string_view(*it).substr(key.size() + 1)).value_or(fallback);
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
  if (!IsStorableName(section) || !IsStorableKey(key)) return false;
  IniSection* s = findSection(section);
  if (s == nullptr) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  std::string entry(key);
  entry += kEquals;
  entry += std::to_string(value);
  const auto it = FindEntry(s->lines, key);
  if (it == s->lines.end()) {
    s->lines.push_back(std::move(entry));
  } else {
    *it = std::move(entry);
  }
  return true;
}

std::string IniFile::serialize() const {
  std::string out;
  for (const IniSection& s : sections_) {
    out += kSectionOpen;
    out += s.name;
    out += kSectionClose;
    out += kLineEnd;
    for (const std::string& line : s.lines) {
      out += line;
      out += kLineEnd;
    }
    out += kLineEnd;
  }
  return out;
}

}  // namespace kalvora
