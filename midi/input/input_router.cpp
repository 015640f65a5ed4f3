#include "midi/input/input_router.h"

#include "midi/device_state.h"
#include "midi/input/note_ledger.h"
#include "midi/midi_bytes.h"
#include "midi/voice_setup.h"

namespace kalvora {

namespace {

// What the input's notes are released with when the program lets go of them: the usual default.
constexpr std::int32_t kLetGoVelocity = 64;

struct Router {
  // What the input holds down, and on which device.
  HMIDIOUT device = kNoMidiOut;
  // Kept on channel 1, where everything goes.
  NoteLedger notes;
  bool pedalDown = false;
};

Router& TheRouter() {
  static Router instance;
  return instance;
}

// Whether the device took the message: one it had no room for changes nothing that is held.
bool Send(std::uint8_t kind, std::int32_t data1, std::int32_t data2) {
  return midiOutShortMsg(MidiOut, PackShortMessage(kind | kChannel1, data1, data2)) ==
         MMSYSERR_NOERROR;
}

// Held notes are kept for one device; a note that goes to another starts the record afresh.
void TrackOn(Router& r) {
  if (r.device == MidiOut) return;
  r.notes.clear();
  r.pedalDown = false;
  r.device = MidiOut;
}

void Play(Router& r, const ChannelMessage& m) {
  const std::uint8_t kind = m.kind();
  if (m.endsNote()) {
    const bool current = r.device == MidiOut;
    if (current && !r.notes.noteOffNeeded(kChannel1, m.data1)) return;
    if (Send(kind, m.data1, m.data2) && current) r.notes.noteOff(kChannel1, m.data1);
    return;
  }
  switch (kind) {
    case kNoteOn:
      if (!VoiceSetUpIsCurrent()) SendVoiceSetUp();
      TrackOn(r);
      r.notes.noteOn(kChannel1, m.data1, Send(kind, m.data1, m.data2));
      return;
    case kControlChange:
      if (m.data1 == kControlSustain) {
        TrackOn(r);
        if (Send(kind, m.data1, m.data2)) r.pedalDown = m.data2 >= kPedalDownFrom;
        return;
      }
      if (m.data1 == kControlAllNotesOff) {
        if (Send(kind, m.data1, m.data2) && r.device == MidiOut) r.notes.allNotesOff(kChannel1);
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
  Send(kind, m.data1, m.data2);
}

}  // namespace

void RouteMidiInput(const ChannelMessage& message, HMIDIOUT meantFor) {
  if (meantFor != kNoMidiOut && meantFor == MidiOut) Play(TheRouter(), message);
}

void ReleaseInputNotes() {
  Router& r = TheRouter();
  for (std::uint8_t key = 0; key < NoteLedger::kKeys; ++key) {
    if (r.notes.held(kChannel1, key)) {
      midiOutShortMsg(r.device, PackShortMessage(kNoteOff | kChannel1,
                                                 static_cast<std::int32_t>(key), kLetGoVelocity));
    }
  }
  if (r.pedalDown) {
    midiOutShortMsg(r.device, PackShortMessage(kControlChange | kChannel1, kControlSustain, 0));
  }
  r.notes.clear();
  r.pedalDown = false;
}

void ResetInputRouting() { TheRouter() = Router{}; }

}  // namespace kalvora
