#include "midi/backends/rtmidi/rtmidi_errors.h"

namespace kalvora {

void RecordRtMidiError(RtMidiError::Type type, const std::string&, void* record) {
  if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
  auto& errors = *static_cast<RtMidiErrors*>(record);
  errors.failed = true;
  errors.type = type;
}

}  // namespace kalvora
