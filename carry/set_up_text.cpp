#include "carry/set_up_text.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "carry/set_up_numbers.h"
#include "catalogue/map_names.h"

namespace kalvora {

namespace {

std::string Number(int n) { return std::to_string(n); }

std::string ThreeDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

std::string Hex(const std::vector<WireMessage>& messages) {
  std::string text;
  for (const WireMessage& message : messages) {
    for (const std::uint8_t byte : message) {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%02X", byte);
      if (!text.empty()) text += ' ';
      text += pair;
    }
  }
  return text;
}

// Marks that no file system of a desktop gives a meaning of its own.
bool SafeInFileName(char c) {
  const bool letterOrDigit =
      (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  return letterOrDigit || std::string_view(" .,+-_()'!#").find(c) != std::string_view::npos;
}

}  // namespace

std::string SetUpText(std::span<const std::uint32_t> setUp) {
  const SetUpNumbers n = ReadSetUpNumbers(setUp);
  std::string what = "map " + std::string(MapName(n.bankLsb));
  if (n.drumSet()) {
    what += ", drum set, program " + Number(n.program) + ": " + std::string(NameOf(n)) +
            ", channel " + Number(n.channel);
  } else {
    what += ", program " + Number(n.program) + ", bank " + Number(n.bankMsb) + ": " +
            std::string(NameOf(n));
  }
  const std::string numbers = "channel " + Number(n.channel) + ", bank select MSB " +
                              Number(n.bankMsb) + ", LSB " + Number(n.bankLsb) + ", program " +
                              Number(n.program) + " (0-based " + Number(n.program - 1) +
                              "), bank number " + Number(n.combinedBank()) + " (MSB x 128 + LSB)";
  return what + "\n" + numbers + "\n" + Hex(WireMessages(setUp)) + "\n";
}

std::string MidiFileName(std::span<const std::uint32_t> setUp) {
  const SetUpNumbers n = ReadSetUpNumbers(setUp);
  std::string name = std::string(MapName(n.bankLsb)) + " ";
  if (n.drumSet()) {
    name.append("drum set ").append(ThreeDigits(n.program));
  } else {
    name.append(ThreeDigits(n.program)).append("-").append(ThreeDigits(n.bankMsb));
  }
  name.append(" ").append(NameOf(n));
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !SafeInFileName(c); }, '_');
  // Some file systems drop a name's trailing dots and spaces.
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
  return name + ".mid";
}

}  // namespace kalvora
