// A voice set-up read back from its own messages: the bytes on the wire, and the channel, bank
// select and program they carry. Everything that leaves the program as text or a file takes its
// numbers from here, so it can never disagree with what a press sends.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kalvora {

using WireMessage = std::vector<std::uint8_t>;

// Each packed short message (status in the low byte) as the bytes that go out, at its length.
std::vector<WireMessage> WireMessages(std::span<const std::uint32_t> setUp);

struct SetUpNumbers {
  int channel = 1;  // 1..16, as sequencers count them
  int bankMsb = 0;
  int bankLsb = 0;  // the map
  int program = 1;  // 1..128; the program change carries it less one
  // The set-up plays a drum set: it goes out on the rhythm channel.
  bool drumSet() const;
  // The bank as one number, as some sequencers ask for it.
  int combinedBank() const { return bankMsb * 128 + bankLsb; }
};

SetUpNumbers ReadSetUpNumbers(std::span<const std::uint32_t> setUp);

// The tone or drum set the numbers select, named as the window's captions name it; empty when
// the map names nothing there. The tone names must have been filled.
std::string_view NameOf(const SetUpNumbers& numbers);

}  // namespace kalvora
