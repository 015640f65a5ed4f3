#include "app/settings/ini_number.h"

#include <cstdint>

namespace kalvora {

namespace {

constexpr std::uint64_t kMaxPattern = 0xFFFFFFFFu;
constexpr std::uint64_t kMaxPositive = 0x7FFFFFFFu;
constexpr std::uint64_t kMaxNegativeMagnitude = 0x80000000u;
constexpr int kHexBase = 16;
constexpr int kDecimalBase = 10;

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

// Digits only, at least one; stops early once the value passes limit so long texts cannot wrap.
std::optional<std::uint64_t> ReadDigits(std::string_view digits, int base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : digits) {
    const int d = DigitValue(c, base);
    if (d < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    if (value > limit) return std::nullopt;
  }
  return value;
}

std::int32_t FromPattern(std::uint64_t pattern) {
  // Two's complement of the low 32 bits, without relying on an implementation-defined cast.
  const auto bits = static_cast<std::uint32_t>(pattern);
  if (bits <= kMaxPositive) return static_cast<std::int32_t>(bits);
  return static_cast<std::int32_t>(static_cast<std::int64_t>(bits) - (std::int64_t{1} << 32));
}

std::int32_t NegateWrapping(std::int32_t v) {
  return FromPattern(static_cast<std::uint64_t>(-static_cast<std::int64_t>(v)) & kMaxPattern);
}

}  // namespace

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const auto pattern = ReadDigits(text.substr(2), kHexBase, kMaxPattern);
    if (!pattern) return std::nullopt;
    return FromPattern(*pattern);
  }

  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (!text.empty() && text[0] == '$') {
    const auto pattern = ReadDigits(text.substr(1), kHexBase, kMaxPattern);
    if (!pattern) return std::nullopt;
    const std::int32_t v = FromPattern(*pattern);
    return negative ? NegateWrapping(v) : v;
  }

  const auto magnitude =
      ReadDigits(text, kDecimalBase, negative ? kMaxNegativeMagnitude : kMaxPositive);
  if (!magnitude) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*magnitude)
                                            : static_cast<std::int64_t>(*magnitude));
}

}  // namespace kalvora
