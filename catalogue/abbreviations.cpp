#include "catalogue/abbreviations.h"

#include <cctype>

namespace kalvora {

namespace {
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsUpper(char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; }
bool IsLower(char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }

bool SameLetters(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}
}  // namespace

bool UsesAbbreviation(std::string_view name, const Abbreviation& abbreviation) {
  std::string_view letters = abbreviation.written;
  if (letters.ends_with('.')) letters.remove_suffix(1);
  if (letters.empty() || name.size() < letters.size()) return false;
  const bool glued = IsLower(abbreviation.written.front());
  for (std::size_t start = 0; start + letters.size() <= name.size(); ++start) {
    if (!SameLetters(letters, name.substr(start, letters.size()))) continue;
    const std::size_t end = start + letters.size();
    const bool starts = start == 0 || !IsLetter(name[start - 1]) ||
                        (IsUpper(name[start]) && IsLower(name[start - 1])) || glued;
    const bool ends = letters.size() == 1 ? end < name.size() && name[end] == '.'
                                          : end == name.size() || !IsLetter(name[end]) ||
                                                (IsUpper(name[end]) && IsLower(name[end - 1]));
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace kalvora
