// Which note a key of the computer keyboard plays. Keys are known by their place on the keyboard
// (the scan code), not by the letter printed on them, so the two rows play the same notes under
// any layout: QWERTY, AZERTY, QWERTZ or JIS.
#pragma once

#include <cstdint>
#include <optional>

namespace kalvora {

// The lowest note of each row: the bottom letter row starts at C3, the top letter row at C4.
inline constexpr int kBottomRowFirstNote = 48;
inline constexpr int kTopRowFirstNote = 60;

// nativeScanCode is what the X11 and Wayland platforms report for a key: the XKB keycode, which
// is the Linux evdev code plus 8. Keys outside the two rows play nothing.
std::optional<int> NoteOfScanCode(std::uint32_t nativeScanCode);

// The scan code of the key that plays note, if a key does (tests type with it).
std::optional<std::uint32_t> ScanCodeOfNote(int note);

}  // namespace kalvora
