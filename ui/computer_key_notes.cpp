#include "ui/computer_key_notes.h"

#include <array>

namespace kalvora {

namespace {

// XKB keycodes are the kernel's evdev codes shifted by 8.
constexpr std::uint32_t kEvdevToXkb = 8;

struct KeyNote {
  std::uint32_t evdev;
  int note;
};

// Each row reads from left to right, white keys on the letter row, black keys on the row above
// (letters as on a US layout; the evdev code fixes the place).
constexpr std::array kKeyNotes{
    // Bottom letter row from C3, black keys on the row of A S D.
    KeyNote{44, kBottomRowFirstNote + 0},   // Z   C3
    KeyNote{31, kBottomRowFirstNote + 1},   // S   C#3
    KeyNote{45, kBottomRowFirstNote + 2},   // X   D3
    KeyNote{32, kBottomRowFirstNote + 3},   // D   D#3
    KeyNote{46, kBottomRowFirstNote + 4},   // C   E3
    KeyNote{47, kBottomRowFirstNote + 5},   // V   F3
    KeyNote{34, kBottomRowFirstNote + 6},   // G   F#3
    KeyNote{48, kBottomRowFirstNote + 7},   // B   G3
    KeyNote{35, kBottomRowFirstNote + 8},   // H   G#3
    KeyNote{49, kBottomRowFirstNote + 9},   // N   A3
    KeyNote{36, kBottomRowFirstNote + 10},  // J   A#3
    KeyNote{50, kBottomRowFirstNote + 11},  // M   B3
    // Top letter row from C4, black keys on the digit row.
    KeyNote{16, kTopRowFirstNote + 0},   // Q   C4
    KeyNote{3, kTopRowFirstNote + 1},    // 2   C#4
    KeyNote{17, kTopRowFirstNote + 2},   // W   D4
    KeyNote{4, kTopRowFirstNote + 3},    // 3   D#4
    KeyNote{18, kTopRowFirstNote + 4},   // E   E4
    KeyNote{19, kTopRowFirstNote + 5},   // R   F4
    KeyNote{6, kTopRowFirstNote + 6},    // 5   F#4
    KeyNote{20, kTopRowFirstNote + 7},   // T   G4
    KeyNote{7, kTopRowFirstNote + 8},    // 6   G#4
    KeyNote{21, kTopRowFirstNote + 9},   // Y   A4
    KeyNote{8, kTopRowFirstNote + 10},   // 7   A#4
    KeyNote{22, kTopRowFirstNote + 11},  // U   B4
    KeyNote{23, kTopRowFirstNote + 12},  // I   C5
    KeyNote{10, kTopRowFirstNote + 13},  // 9   C#5
    KeyNote{24, kTopRowFirstNote + 14},  // O   D5
    KeyNote{11, kTopRowFirstNote + 15},  // 0   D#5
    KeyNote{25, kTopRowFirstNote + 16},  // P   E5
};

}  // namespace

std::optional<int> NoteOfScanCode(std::uint32_t nativeScanCode) {
  for (const auto& key : kKeyNotes) {
    if (key.evdev + kEvdevToXkb == nativeScanCode) return key.note;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ScanCodeOfNote(int note) {
  for (const auto& key : kKeyNotes) {
    if (key.note == note) return key.evdev + kEvdevToXkb;
  }
  return std::nullopt;
}

}  // namespace kalvora
