#include "carry/midi_file.h"

#include <array>
#include <string_view>
#include <vector>

#include "carry/set_up_numbers.h"
#include "midi/midi_bytes.h"

namespace kalvora {

namespace {

constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kMetaTrackName = 0x03;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaTimeSignature = 0x58;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
// 4/4: numerator, the denominator as a power of two, clocks per click, 32nds per quarter.
constexpr std::array<std::uint8_t, 4> kFourFour{4, 2, 24, 8};
constexpr int kMicrosecondsPerMillisecond = 1000;
// The header chunk: its length, format 0 (one track holds everything) and the track count.
constexpr std::uint32_t kHeaderLength = 6;
constexpr std::uint32_t kFormatOneTrack = 0;
constexpr std::uint32_t kTrackCount = 1;
constexpr int kTempoBytes = 3;

class Bytes {
 public:
  void byte(int b) { text_ += static_cast<char>(b & 0xFF); }
  void bigEndian(std::uint32_t value, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
      byte(static_cast<int>(value >> shift));
  }
  // The file format's variable-length quantity: seven bits a byte, the last without its top bit.
  void variable(std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
      groups[count++] = value & kDataMask;
      value >>= kDataBits;
    } while (value != 0);
    while (count > 1) byte(groups[--count] | kStatusBit);
    byte(groups[0]);
  }
  void append(std::string_view more) { text_ += more; }
  template <typename Range>
  void all(const Range& range) {
    for (const auto b : range) byte(b);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

void Meta(Bytes& track, std::uint32_t delta, std::uint8_t type, std::string_view data) {
  track.variable(delta);
  track.byte(kMetaEvent);
  track.byte(type);
  track.variable(static_cast<std::uint32_t>(data.size()));
  track.append(data);
}

std::string AsText(std::span<const std::uint8_t> data) { return {data.begin(), data.end()}; }

}  // namespace

std::string StandardMidiFile(std::span<const std::uint32_t> setUp, int note, int velocity) {
  const SetUpNumbers numbers = ReadSetUpNumbers(setUp);
  const auto channel = static_cast<std::uint8_t>(numbers.channel - 1);
  const std::uint32_t settleTicks = static_cast<std::uint32_t>(
      kGsResetSettleMs * kMicrosecondsPerMillisecond * kTicksPerQuarter / kMicrosecondsPerQuarter);

  Bytes track;
  Meta(track, 0, kMetaTrackName, NameOf(numbers));
  Bytes tempo;
  tempo.bigEndian(kMicrosecondsPerQuarter, kTempoBytes);
  Meta(track, 0, kMetaTempo, tempo.text());
  Meta(track, 0, kMetaTimeSignature, AsText(kFourFour));
  // A system-exclusive event: F0, the length of what follows it, then the rest up to F7.
  track.variable(0);
  track.byte(kSysExStart);
  track.variable(static_cast<std::uint32_t>(GsResetMessage.size() - 1));
  track.all(std::span(GsResetMessage).subspan(1));
  std::uint32_t delta = settleTicks;
  for (const WireMessage& message : WireMessages(setUp)) {
    track.variable(delta);
    track.all(message);
    delta = 0;
  }
  track.variable(0);
  track.all(std::array{kNoteOn | channel, note, velocity});
  track.variable(kTicksPerBar);
  track.all(std::array{kNoteOff | channel, note, static_cast<int>(kReleaseVelocity)});
  Meta(track, 0, kMetaEndOfTrack, {});

  Bytes file;
  file.append("MThd");
  file.bigEndian(kHeaderLength, 4);
  file.bigEndian(kFormatOneTrack, 2);
  file.bigEndian(kTrackCount, 2);
  file.bigEndian(kTicksPerQuarter, 2);
  file.append("MTrk");
  file.bigEndian(static_cast<std::uint32_t>(track.text().size()), 4);
  file.append(track.text());
  return file.text();
}

}  // namespace kalvora
