#include "midi/backends/rtmidi/rtmidi_port_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>

namespace kalvora {

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

// "Midi Through:Midi Through Port-0 14:0" -> "Midi Through:Midi Through Port-0"; a name without
// a trailing " C:P" address is kept whole.
std::string WithoutAddress(const std::string& name) {
  const std::size_t space = name.rfind(' ');
  if (space == std::string::npos || space == 0) return name;
  const std::string_view address = std::string_view(name).substr(space + 1);
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return name;
  if (!AllDigits(address.substr(0, colon)) || !AllDigits(address.substr(colon + 1))) return name;
  return name.substr(0, space);
}

}  // namespace

std::vector<std::string> SequencerDisplayNames(const std::vector<std::string>& rtmidiNames) {
  std::vector<std::string> names;
  names.reserve(rtmidiNames.size());
  std::map<std::string, int> uses;
  for (const std::string& raw : rtmidiNames) ++uses[names.emplace_back(WithoutAddress(raw))];
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (uses[names[i]] > 1) names[i] = rtmidiNames[i];
  }
  return names;
}

}  // namespace kalvora
