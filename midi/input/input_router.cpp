#include "midi/input/input_router.h"

#include <bitset>

#include "midi/channel_message.h"
#include "midi/device_state.h"
#include "midi/input/note_ledger.h"
#include "midi/midi_bytes.h"
#include "midi/rhythm_part.h"
#include "midi/voice_setup.h"

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
void TrackOn(Router& r) {
  if (r.device == MidiOut) return;
  r.notes.clear();
  r.pedalDown.reset();
  r.device = MidiOut;
}

// A note ends on every channel it was started on, whichever page is shown now; true when it was
// held on any.
bool EndWhereHeld(Router& r, const ChannelMessage& m) {
  bool held = false;
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    if (!r.notes.held(channel, m.data1)) continue;
    held = true;
    if (Send(m.kind(), channel, m.data1, m.data2)) r.notes.noteOff(channel, m.data1);
  }
  return held;
}

void Play(Router& r, const ChannelMessage& m) {
  const std::uint8_t kind = m.kind();
  const std::uint8_t channel = PlayChannel();
  if (m.endsNote()) {
    const bool current = r.device == MidiOut;
    if (current && EndWhereHeld(r, m)) return;
    if (current) {
      bool needed = true;
      for (std::uint8_t c = 0; c < kChannelCount; ++c) {
        needed = r.notes.noteOffNeeded(c, m.data1) && needed;
      }
      if (!needed) return;
    }
    if (Send(kind, channel, m.data1, m.data2) && current) r.notes.noteOff(channel, m.data1);
    return;
  }
  switch (kind) {
    case kNoteOn:
      if (!VoiceSetUpIsCurrent()) SendVoiceSetUp();
      TrackOn(r);
      r.notes.noteOn(channel, m.data1, Send(kind, channel, m.data1, m.data2));
      return;
    case kControlChange:
      if (m.data1 == kControlSustain) {
        TrackOn(r);
        if (m.data2 >= kPedalDownFrom) {
          if (Send(kind, channel, m.data1, m.data2)) r.pedalDown.set(channel);
          return;
        }
        // Up where it is down now, and wherever it went down on another page.
        for (std::uint8_t c = 0; c < kChannelCount; ++c) {
          if ((c == channel || r.pedalDown.test(c)) && Send(kind, c, m.data1, m.data2))
            r.pedalDown.reset(c);
        }
        return;
      }
      if (m.data1 == kControlAllNotesOff) {
        if (Send(kind, channel, m.data1, m.data2) && r.device == MidiOut)
          r.notes.allNotesOff(channel);
        return;
      }
      if (m.data1 != kControlModulation && m.data1 != kControlExpression) return;
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

void RouteMidiInput(const ChannelMessage& message, HMIDIOUT meantFor) {
  if (meantFor != kNoMidiOut && meantFor == MidiOut) Play(TheRouter(), message);
}

void ReleaseInputNotes() {
  Router& r = TheRouter();
  for (std::uint8_t channel = 0; channel < kChannelCount; ++channel) {
    for (std::uint8_t key = 0; key < NoteLedger::kKeys; ++key) {
      if (!r.notes.held(channel, key)) continue;
      midiOutShortMsg(r.device, PackChannelMessage(kNoteOff, channel, key, kLetGoVelocity));
    }
    if (r.pedalDown.test(channel)) {
      midiOutShortMsg(r.device, PackChannelMessage(kControlChange, channel, kControlSustain, 0));
    }
  }
  r.notes.clear();
  r.pedalDown.reset();
}

void ResetInputRouting() { TheRouter() = Router{}; }

}  // namespace kalvora
