// Asks the X server to report a held key's auto-repeat as more presses only. By default it sends
// a release and a press for every repeat, and Qt marks them as repeats only when the press has
// already arrived as the release is handled: on an idle window most repeats would pass for a
// release and a new press of the key, each with its note-off and note-on.
#pragma once

namespace kalvora {

// Does nothing on platforms other than X11 (Wayland's repeats are marked by Qt itself).
void AskForDetectableAutoRepeat();

}  // namespace kalvora
