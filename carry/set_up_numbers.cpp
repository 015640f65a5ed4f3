#include "carry/set_up_numbers.h"

#include "catalogue/drum_sets.h"
#include "catalogue/tone_names.h"
#include "midi/midi_bytes.h"

namespace kalvora {

namespace {
constexpr int kByteBits = 8;
constexpr std::uint32_t kByteMask = 0xFF;

std::uint8_t ByteOf(std::uint32_t packed, int index) {
  return static_cast<std::uint8_t>((packed >> (index * kByteBits)) & kByteMask);
}
}  // namespace

std::vector<WireMessage> WireMessages(std::span<const std::uint32_t> setUp) {
  std::vector<WireMessage> messages;
  messages.reserve(setUp.size());
  for (const std::uint32_t packed : setUp) {
    const std::uint8_t status = ByteOf(packed, 0);
    WireMessage message{status};
    for (int i = 1; i <= DataBytesAfter(status); ++i) message.push_back(ByteOf(packed, i));
    messages.push_back(std::move(message));
  }
  return messages;
}

bool SetUpNumbers::drumSet() const { return channel == kRhythmChannel + 1; }

SetUpNumbers ReadSetUpNumbers(std::span<const std::uint32_t> setUp) {
  SetUpNumbers numbers;
  for (const WireMessage& message : WireMessages(setUp)) {
    const std::uint8_t kind = message[0] & kStatusKindMask;
    numbers.channel = (message[0] & kChannelMask) + 1;
    if (kind == kProgramChange) numbers.program = message[1] + 1;
    if (kind != kControlChange) continue;
    if (message[1] == kControlBankMsb) numbers.bankMsb = message[2];
    if (message[1] == kControlBankLsb) numbers.bankLsb = message[2];
  }
  return numbers;
}

std::string_view NameOf(const SetUpNumbers& numbers) {
  if (!numbers.drumSet()) return ToneName(numbers.program, numbers.bankMsb, numbers.bankLsb);
  const DrumSet* set = FindDrumSet(numbers.bankLsb, numbers.program);
  return set ? set->name : std::string_view{};
}

}  // namespace kalvora
