#include "midi/input_stream.h"

namespace kalvora {

namespace {
constexpr std::uint8_t kStatusBit = 0x80;
constexpr std::uint8_t kFirstRealTime = 0xF8;  // clock, start, stop, active sensing, reset...
constexpr std::uint8_t kFirstSystem = 0xF0;
constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kKindMask = 0xF0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kChannelPressure = 0xD0;
constexpr std::uint8_t kTimeCode = 0xF1;
constexpr std::uint8_t kSongPosition = 0xF2;
constexpr std::uint8_t kSongSelect = 0xF3;

std::uint8_t DataBytesOf(std::uint8_t status) {
  if (status < kFirstSystem) {
    const std::uint8_t kind = status & kKindMask;
    return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
  }
  switch (status) {
    case kTimeCode:
    case kSongSelect:
      return 1;
    case kSongPosition:
      return 2;
    default:
      return 0;
  }
}
}  // namespace

bool InputStream::take(std::uint8_t byte) noexcept {
  // Real-time bytes may stand anywhere, even inside another message, and change nothing.
  if (byte >= kFirstRealTime) return false;
  if ((byte & kStatusBit) != 0) {
    // Any status ends a system-exclusive message (its end byte, or one that never came) and
    // drops a message left unfinished.
    inSysEx_ = byte == kSysExStart;
    needed_ = DataBytesOf(byte);
    status_ = inSysEx_ || byte == kSysExEnd || (byte >= kFirstSystem && needed_ == 0) ? 0 : byte;
    count_ = 0;
    return false;
  }
  if (inSysEx_ || status_ == 0) return false;
  data_[count_++] = byte;
  if (count_ < needed_) return false;
  count_ = 0;
  if (status_ >= kFirstSystem) {
    // System-common messages are not passed on, and cancel the running status.
    status_ = 0;
    return false;
  }
  message_ = {status_, data_[0], needed_ == 2 ? data_[1] : std::uint8_t{0}};
  return true;
}

}  // namespace kalvora
