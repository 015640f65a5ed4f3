// The program's ALSA sequencer input: port "in" of client "Kalvora", which other clients write
// to (a keyboard connected with aconnect or a patchbay). What arrives is posted to the MIDI
// input inbox from the MIDI library's own thread. Without a sequencer there is simply no port,
// and nothing is printed.
#pragma once

#include <memory>
#include <string>

#include "midi/input/input_inbox.h"

class RtMidiIn;

namespace kalvora {
struct RtMidiErrors;
}  // namespace kalvora

namespace kalvora {

inline constexpr const char* kSequencerInputPort = "in";

class SequencerInput final : public MidiInputPort {
 public:
  explicit SequencerInput(const std::string& clientName = "Kalvora");
  ~SequencerInput() override;
  SequencerInput(const SequencerInput&) = delete;
  SequencerInput& operator=(const SequencerInput&) = delete;

  // Whether the port exists and takes input.
  bool open() const { return in_ != nullptr; }

 private:
  // Where the port's errors are recorded, for as long as it exists.
  std::unique_ptr<RtMidiErrors> errors_;
  std::unique_ptr<RtMidiIn> in_;
};

}  // namespace kalvora
