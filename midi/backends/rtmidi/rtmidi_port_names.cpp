#include "midi/backends/rtmidi/rtmidi_port_names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <string_view>

namespace kalvora {

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Where the trailing " C:P" address of a name starts (its space), or npos without one.
std::size_t AddressStart(const std::string& name) {
  const std::size_t space = name.rfind(' ');
  if (space == std::string::npos || space == 0) return std::string::npos;
  const std::string_view address = std::string_view(name).substr(space + 1);
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos) return std::string::npos;
  if (!AllDigits(address.substr(0, colon)) || !AllDigits(address.substr(colon + 1))) {
    return std::string::npos;
  }
  return space;
}

// "Midi Through:Midi Through Port-0 14:0" -> "Midi Through:Midi Through Port-0"; a name without
// a trailing " C:P" address is kept whole.
std::string WithoutAddress(const std::string& name) { return name.substr(0, AddressStart(name)); }

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

std::optional<SequencerAddress> SequencerAddressOf(const std::string& rtmidiName) {
  const std::size_t space = AddressStart(rtmidiName);
  if (space == std::string::npos) return std::nullopt;
  const char* colon = rtmidiName.data() + rtmidiName.find(':', space);
  const char* end = rtmidiName.data() + rtmidiName.size();
  SequencerAddress address;
  const auto client = std::from_chars(rtmidiName.data() + space + 1, colon, address.client);
  const auto port = std::from_chars(colon + 1, end, address.port);
  if (client.ec != std::errc{} || client.ptr != colon || port.ec != std::errc{} ||
      port.ptr != end) {
    return std::nullopt;
  }
  return address;
}

std::optional<std::size_t> FindPortAgain(const std::vector<std::string>& listed, std::size_t port,
                                         const std::vector<std::string>& now) {
  if (port >= listed.size()) return std::nullopt;
  const auto same = std::find(now.begin(), now.end(), listed[port]);
  if (same != now.end()) return static_cast<std::size_t>(same - now.begin());
  // A name that needed its address to be told apart names no port once that address is gone.
  if (SequencerDisplayNames(listed)[port] != WithoutAddress(listed[port])) return std::nullopt;
  const std::string name = WithoutAddress(listed[port]);
  std::optional<std::size_t> found;
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (WithoutAddress(now[i]) != name) continue;
    if (found) return std::nullopt;
    found = i;
  }
  return found;
}

}  // namespace kalvora
