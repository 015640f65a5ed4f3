#include "midi/input/input_router.h"

#include <array>
#include <bitset>

#include "midi/device_state.h"
#include "midi/input/input_stream.h"
#include "midi/channel_message.h"
#include "midi/midi_bytes.h"
#include "midi/rhythm_part.h"
#include "midi/voice_setup.h"

namespace kalvora {

namespace {

constexpr std::uint8_t kPedalDownFrom = 64;
// What the input's notes are released with when the program lets go of them: the usual default.
constexpr std::int32_t kLetGoVelocity = 64;
constexpr std::size_t kKeys = 128;
constexpr std::size_t kChannels = kChannelCount;

struct Router {
  std::array<InputStream, kInputSources> streams;
  // What the input holds down on each channel (the one a note went out on), and on which device.
  HMIDIOUT device = kNoMidiOut;
  std::array<std::bitset<kKeys>, kChannels> held;
  std::bitset<kChannels> pedalDown;
};

Router& TheRouter() {
  static Router instance;
  return instance;
}

void Send(std::uint8_t kind, std::uint8_t channel, std::int32_t data1, std::int32_t data2) {
  midiOutShortMsg(MidiOut, PackChannelMessage(kind, channel, data1, data2));
}

// Held notes are kept for one device; a note that goes to another starts the record afresh.
void TrackOn(Router& r) {
  if (r.device == MidiOut) return;
  for (auto& keys : r.held) keys.reset();
  r.pedalDown.reset();
  r.device = MidiOut;
}

// A note ends, and a pedal comes up, on every channel it was started on; one the record does not
// know of goes where a press plays now.
template <typename Held>
void SendToHolders(Router& r, Held held, std::uint8_t kind, std::int32_t data1,
                   std::int32_t data2) {
  bool sent = false;
  for (std::uint8_t channel = 0; channel < kChannels; ++channel) {
    if (r.device != MidiOut || !held(channel)) continue;
    Send(kind, channel, data1, data2);
    sent = true;
  }
  if (!sent) Send(kind, PlayChannel(), data1, data2);
}

void Play(Router& r, const ChannelMessage& m) {
  const std::uint8_t kind = m.status & kStatusKindMask;
  const bool noteOff = kind == kNoteOff || (kind == kNoteOn && m.data2 == 0);
  const auto key = static_cast<std::size_t>(m.data1);
  if (noteOff) {
    SendToHolders(r, [&](std::uint8_t c) { return r.held[c].test(key); }, kind, m.data1, m.data2);
    if (r.device == MidiOut) {
      for (auto& keys : r.held) keys.reset(key);
    }
    return;
  }
  const std::uint8_t channel = PlayChannel();
  switch (kind) {
    case kNoteOn:
      if (!VoiceSetUpIsCurrent()) SendVoiceSetUp();
      TrackOn(r);
      r.held[channel].set(key);
      break;
    case kControlChange:
      if (m.data1 == kControlSustain) {
        TrackOn(r);
        if (m.data2 < kPedalDownFrom) {
          SendToHolders(r, [&](std::uint8_t c) { return r.pedalDown.test(c) || c == channel; },
                        kind, m.data1, m.data2);
          r.pedalDown.reset();
          return;
        }
        r.pedalDown.set(channel);
      } else if (m.data1 != kControlModulation && m.data1 != kControlExpression) {
        return;
      }
      break;
    case kKeyPressure:
    case kChannelPressure:
    case kPitchBend:
      break;
    default:  // program change, bank select and the other controllers
      return;
  }
  Send(kind, channel, m.data1, m.data2);
}

}  // namespace

void RouteMidiInput(InputSource source, std::span<const std::uint8_t> bytes, HMIDIOUT meantFor) {
  Router& r = TheRouter();
  InputStream& stream = r.streams[static_cast<std::size_t>(source)];
  // Read even when it goes nowhere, so the stream keeps its running status.
  const bool deliverable = meantFor != kNoMidiOut && meantFor == MidiOut;
  stream.feed(bytes, [&](const ChannelMessage& m) {
    if (deliverable) Play(r, m);
  });
}

void ReleaseInputNotes() {
  Router& r = TheRouter();
  for (std::uint8_t channel = 0; channel < kChannels; ++channel) {
    for (std::size_t key = 0; key < kKeys; ++key) {
      if (!r.held[channel].test(key)) continue;
      midiOutShortMsg(r.device, PackChannelMessage(kNoteOff, channel,
                                                   static_cast<std::int32_t>(key), kLetGoVelocity));
    }
    if (r.pedalDown.test(channel)) {
      midiOutShortMsg(r.device, PackChannelMessage(kControlChange, channel, kControlSustain, 0));
    }
    r.held[channel].reset();
  }
  r.pedalDown.reset();
}

void ResetInputRouting() { TheRouter() = Router{}; }

}  // namespace kalvora
