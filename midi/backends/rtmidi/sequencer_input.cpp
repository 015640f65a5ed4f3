#include "midi/backends/rtmidi/sequencer_input.h"

#include <rtmidi/RtMidi.h>

#include <vector>

#include "midi/backends/rtmidi/rtmidi_errors.h"
#include "midi/backends/rtmidi/stderr_muted.h"

namespace kalvora {

namespace {

void Receive(double, std::vector<unsigned char>* message, void*) {
  if (message != nullptr) PostMidiInput(InputSource::kSequencer, *message);
}

}  // namespace

SequencerInput::SequencerInput(const std::string& clientName)
    : errors_(std::make_unique<RtMidiErrors>()) {
  // Without /dev/snd/seq the constructor prints and throws; both are expected there.
  StderrMuted muted;
  try {
    auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, clientName);
    in->setErrorCallback(&RecordRtMidiError, errors_.get());
    // System-exclusive, clock and active sensing are dropped by the library already.
    in->ignoreTypes(true, true, true);
    in->setCallback(&Receive, nullptr);
    in->openVirtualPort(kSequencerInputPort);
    // Later errors (a full queue, say) are recorded too, but not looked at.
    if (!errors_->failed) in_ = std::move(in);
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
