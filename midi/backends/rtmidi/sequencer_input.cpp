#include "midi/backends/rtmidi/sequencer_input.h"

#include <rtmidi/RtMidi.h>

#include <vector>

#include "midi/backends/rtmidi/stderr_muted.h"

namespace kalvora {

namespace {

// Set by the library's error callback: from then on it neither throws nor prints.
void RecordFailure(RtMidiError::Type type, const std::string&, void* failed) {
  if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
  *static_cast<bool*>(failed) = true;
}

void IgnoreError(RtMidiError::Type, const std::string&, void*) {}

void Receive(double, std::vector<unsigned char>* message, void*) {
  if (message != nullptr) PostMidiInput(InputSource::kSequencer, *message);
}

}  // namespace

SequencerInput::SequencerInput(const std::string& clientName) {
  bool failed = false;
  // Without /dev/snd/seq the constructor prints and throws; both are expected there.
  StderrMuted muted;
  try {
    auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, clientName);
    in->setErrorCallback(&RecordFailure, &failed);
    // System-exclusive, clock and active sensing are dropped by the library already.
    in->ignoreTypes(true, true, true);
    in->setCallback(&Receive, nullptr);
    in->openVirtualPort(kSequencerInputPort);
    // The record lives on this stack; later errors (a full queue, say) are not looked at.
    in->setErrorCallback(&IgnoreError, nullptr);
    if (!failed) in_ = std::move(in);
  } catch (...) {
    in_.reset();
  }
}

SequencerInput::~SequencerInput() {
  if (!in_) return;
  StderrMuted muted;
  try {
    in_.reset();
  } catch (...) {
    // The port goes with the process all the same.
  }
}

}  // namespace kalvora
