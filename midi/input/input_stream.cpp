#include "midi/input/input_stream.h"

#include "midi/midi_bytes.h"

namespace kalvora {

namespace {
// Clock, start, stop, active sensing, reset and the rest: bytes of their own, from here up.
constexpr std::uint8_t kFirstRealTime = 0xF8;
}  // namespace

bool InputStream::take(std::uint8_t byte) noexcept {
  // Real-time bytes may stand anywhere, even inside another message, and change nothing.
  if (byte >= kFirstRealTime) return false;
  if ((byte & kStatusBit) != 0) {
    // Any status ends a system-exclusive message (its end byte, or one that never came) and
    // drops a message left unfinished.
    inSysEx_ = byte == kSysExStart;
    needed_ = static_cast<std::uint8_t>(DataBytesAfter(byte));
    status_ = inSysEx_ || byte == kSysExEnd || (byte >= kSystemMessage && needed_ == 0) ? 0 : byte;
    count_ = 0;
    return false;
  }
  if (inSysEx_ || status_ == 0) return false;
  data_[count_++] = byte;
  if (count_ < needed_) return false;
  count_ = 0;
  if (status_ >= kSystemMessage) {
    // System-common messages are not passed on, and cancel the running status.
    status_ = 0;
    return false;
  }
  message_ = {status_, data_[0], needed_ == 2 ? data_[1] : std::uint8_t{0}};
  return true;
}

}  // namespace kalvora
