#include "play/input_router.h"

#include <bitset>

#include "midi/input/note_ledger.h"
#include "midi/midi_bytes.h"
#include "midi/short_message.h"
#include "play/device_state.h"
#include "play/rhythm_part.h"
#include "play/voice_setup.h"

namespace kalvora {

namespace {

// What the input's notes are released with when the program lets go of them: the usual default.
constexpr std::int32_t kLetGoVelocity = 64;

struct Router {
  // What the input holds down, and on which device.
  HMIDIOUT device = kNoMidiOut;
  // Kept on the channel each note went out on: channel 1, or the rhythm channel on the drum page.
  NoteLedger notes;
  std::bitset<kChannelCount> pedalDown;
};

Router& TheRouter() {
  static Router instance;
  return instance;
}

// Whether the device took the message: one it had no room for changes nothing that is held.
bool Send(std::uint8_t kind, std::uint8_t channel, std::int32_t data1, std::int32_t data2) {
  return midiOutShortMsg(MidiOut, PackChannelMessage(kind, channel, data1, data2)) ==
         MMSYSERR_NOERROR;
}

// Held notes are kept for one device; a note that goes to another starts the record afresh.
void TrackOn(Router& router) {
  if (router.device == MidiOut) return;
  router.notes.clear();
  router.pedalDown.reset();
  router.device = MidiOut;
}

// A note ends on every channel it was started on, whichever page is shown now; true when it was
// held on any.
bool EndWhereHeld(Router& router, const ChannelMessage& message) {
  bool held = false;
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    if (!router.notes.held(channel, message.data1)) continue;
    held = true;
    if (Send(message.kind(), channel, message.data1, message.data2))
      router.notes.noteOff(channel, message.data1);
  }
  return held;
}

void Play(Router& router, const ChannelMessage& message) {
  const std::uint8_t kind = message.kind();
  const std::uint8_t channel = PlayChannel();
  if (message.endsNote()) {
    const bool current = router.device == MidiOut;
    if (current && EndWhereHeld(router, message)) return;
    if (current) {
      bool needed = true;
      for (std::uint8_t other = 0; other < kChannelCount; ++other) {
        needed = router.notes.noteOffNeeded(other, message.data1) && needed;
      }
      if (!needed) return;
    }
    if (Send(kind, channel, message.data1, message.data2) && current)
      router.notes.noteOff(channel, message.data1);
    return;
  }
  switch (kind) {
    case kNoteOn:
      if (!VoiceSetUpIsCurrent()) SendVoiceSetUp();
      TrackOn(router);
      router.notes.noteOn(channel, message.data1,
                          Send(kind, channel, message.data1, message.data2));
      return;
    case kControlChange:
      if (message.data1 == kControlSustain) {
        TrackOn(router);
        if (message.data2 >= kPedalDownFrom) {
          if (Send(kind, channel, message.data1, message.data2)) router.pedalDown.set(channel);
          return;
        }
        // Up where it is down now, and wherever it went down on another page.
        for (std::uint8_t other = 0; other < kChannelCount; ++other) {
          if ((other == channel || router.pedalDown.test(other)) &&
              Send(kind, other, message.data1, message.data2))
            router.pedalDown.reset(other);
        }
        return;
      }
      if (message.data1 == kControlAllNotesOff) {
        if (Send(kind, channel, message.data1, message.data2) && router.device == MidiOut)
          router.notes.allNotesOff(channel);
        return;
      }
      if (message.data1 != kControlModulation && message.data1 != kControlExpression) return;
      break;
    case kKeyPressure:
    case kChannelPressure:
    case kPitchBend:
      break;
    default:  // program change, bank select and the other controllers
      return;
  }
  Send(kind, channel, message.data1, message.data2);
}

}  // namespace

void RouteMidiInput(const ChannelMessage& message, HMIDIOUT meantFor) {
  if (meantFor != kNoMidiOut && meantFor == MidiOut) Play(TheRouter(), message);
}

void ReleaseInputNotes() {
  Router& router = TheRouter();
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    for (std::uint8_t key = 0; key < NoteLedger::kKeys; ++key) {
      if (!router.notes.held(channel, key)) continue;
      midiOutShortMsg(router.device, PackChannelMessage(kNoteOff, channel, key, kLetGoVelocity));
    }
    if (router.pedalDown.test(channel)) {
      midiOutShortMsg(router.device,
                      PackChannelMessage(kControlChange, channel, kControlSustain, 0));
    }
  }
  router.notes.clear();
  router.pedalDown.reset();
}

void ResetInputRouting() { TheRouter() = Router{}; }

}  // namespace kalvora
