// Where RtMidi reports a failure once it has an error callback: it then neither throws nor
// prints, and the caller reads what went wrong from here.
#pragma once

#include <rtmidi/RtMidi.h>

#include <string>

namespace kalvora {

struct RtMidiErrors {
  bool failed = false;
  RtMidiError::Type type = RtMidiError::UNSPECIFIED;
};

// The error callback for every RtMidi object of the program; record is its RtMidiErrors, which
// must live as long as the object. Warnings (a full output queue, say) are not failures of the
// operation itself and are not recorded.
void RecordRtMidiError(RtMidiError::Type type, const std::string& text, void* record);

}  // namespace kalvora
